// What a simulated sensor makes of register writes: whether it streams, its geometry, exposure and
// gain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class SensorFamily {
 public:
  virtual ~SensorFamily() = default;
  // Returns an error text for the device log, empty when the write is fine.
  virtual std::string writeRegister(uint16_t reg, uint16_t value) = 0;
  virtual bool streaming() const = 0;
  virtual uint32_t width() const = 0;
  virtual uint32_t height() const = 0;
  virtual uint32_t exposureUs() const = 0;
  virtual uint32_t gainPercent() const = 0;
  // Bytes the sensor appends after the pixels of each frame, at this device revision.
  virtual uint32_t trailerBytes(uint16_t revision) const = 0;
  // The last value written to a register, 0 before any.
  virtual uint16_t reg(uint16_t address) const = 0;
  // The FPGA value request; most sensors ignore it.
  virtual void writeFpgaValue(uint16_t) {}
  // The sensor status read (request 0x0A): the bytes answered, zeros unless a sensor says more.
  virtual uint32_t readSensor(uint8_t* reply, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) reply[i] = 0;
    return length;
  }
  // The sensor-variant request (0x2E): false when the request fails; most sensors answer 0.
  virtual bool altSensorReply(uint8_t* value) const {
    *value = 0;
    return true;
  }
  // The read-out size request (0x2F); most sensors ignore it.
  virtual void writeResMode(uint16_t) {}
  // The vendor requests that write and read the sensor; another code reaches no register.
  virtual uint8_t writeRequest() const { return 0x0B; }
  virtual uint8_t readRequest() const { return 0x0A; }
  // The USB2 bridge's pixel clock code (vendor OUT 0x0A); most sensors have no such bridge.
  virtual void bridgeClock(uint16_t) {}
  // One line in microseconds at the clock in force, rounded up: every exposure check's tolerance.
  virtual uint32_t lineUs() const = 0;
  // A packed register write (request 0x08), long (5-byte) or short form: an error text or empty.
  virtual std::string writePacked(uint32_t, uint32_t, bool) { return {}; }
  // The FPGA register write (request 0x0D); most sensors only see its value.
  virtual void writeFpga(uint16_t, uint16_t value) { writeFpgaValue(value); }
  // The register-write mode query (request 0x10): the byte answered, negative to stall.
  virtual int32_t regWriteMode() const { return 0; }
  // How a rendered frame goes on the wire: its bytes, rearranged in place, and the segments it
  // is sent in, each ended by a short packet (or a zero-length one). One segment by default.
  virtual void wireFrame(std::vector<uint8_t>& frame, std::vector<uint32_t>& segments) const {
    segments.assign(1, static_cast<uint32_t>(frame.size()));
  }
};

inline constexpr uint8_t kTrailerByte = 0xA5;

}  // namespace sim
