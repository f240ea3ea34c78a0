/* The numbered camera options of put_Option and get_Option, as plain defines for C hosts. */
/* Hand-aligned columns read better. */
/* clang-format off */
#pragma once

#define LUMORIX_OPTION_NOFRAME_TIMEOUT         0x01u /* no-frame watchdog (event 130) */
#define LUMORIX_OPTION_THREAD_PRIORITY         0x02u /* 0 normal, 1 above normal, 2 highest */
#define LUMORIX_OPTION_MODEL_HOOK              0x03u /* handed to the model's option hook */
#define LUMORIX_OPTION_RAW                     0x04u /* raw delivery; stopped only */
#define LUMORIX_OPTION_HISTOGRAM               0x05u /* histogram kind 3 instead of 1 */
#define LUMORIX_OPTION_BITDEPTH                0x06u /* 8-bit or high-bit format; restarts */
#define LUMORIX_OPTION_FAN                     0x07u
#define LUMORIX_OPTION_TEC                     0x08u
#define LUMORIX_OPTION_RAW_LUT                 0x09u /* step bit 2 */
#define LUMORIX_OPTION_CURVE                   0x0Au /* tone mapping 0..2 */
#define LUMORIX_OPTION_TRIGGER                 0x0Bu /* 0 video, 1 soft, 2 ext, 3 ext single; restarts */
#define LUMORIX_OPTION_RGB                     0x0Cu /* output layout 0..4; stopped only */
#define LUMORIX_OPTION_COLORMATRIX             0x0Du
#define LUMORIX_OPTION_WBGAIN                  0x0Eu
#define LUMORIX_OPTION_TECTARGET               0x0Fu
#define LUMORIX_OPTION_AUTOEXP_POLICY          0x10u
#define LUMORIX_OPTION_FRAMERATE               0x11u /* frame-rate limit 0..63 */
#define LUMORIX_OPTION_DEMOSAIC                0x12u
#define LUMORIX_OPTION_DEMOSAIC_VIDEO          0x13u
#define LUMORIX_OPTION_DEMOSAIC_STILL          0x14u
#define LUMORIX_OPTION_BLACKLEVEL              0x15u /* scaled at 8-bit formats */
#define LUMORIX_OPTION_PIPELINE_THREADS        0x16u /* stopped only */
#define LUMORIX_OPTION_BINNING                 0x17u /* 1..4 sum, 0x81..0x84 average; restarts */
#define LUMORIX_OPTION_ROTATE                  0x18u /* 0, 90, 180, 270; may restart */
#define LUMORIX_OPTION_CG                      0x19u /* conversion gain */
#define LUMORIX_OPTION_PIXEL_FORMAT            0x1Au /* 0..11; restarts */
#define LUMORIX_OPTION_FFC                     0x1Bu
#define LUMORIX_OPTION_DDR_MODE                0x1Cu /* 0, 1 or -1 */
#define LUMORIX_OPTION_DFC                     0x1Du
#define LUMORIX_OPTION_USM                     0x1Eu /* amount | radius << 16 | threshold << 24 */
#define LUMORIX_OPTION_FACTORY                 0x1Fu /* 0 only: factory settings */
#define LUMORIX_OPTION_TEC_READING             0x20u /* read only */
#define LUMORIX_OPTION_TEC_INFO                0x21u /* read only */
#define LUMORIX_OPTION_DEVICE_RESET            0x22u /* write only */
#define LUMORIX_OPTION_UPSIDE_DOWN             0x23u /* stopped only */
#define LUMORIX_OPTION_FOCUS_POS               0x24u
#define LUMORIX_OPTION_FOCUS_CMD               0x25u
#define LUMORIX_OPTION_CUSB38                  0x26u
#define LUMORIX_OPTION_CUSB39                  0x27u
#define LUMORIX_OPTION_EXTRA                   0x28u
#define LUMORIX_OPTION_AUTOEXP_THRESHOLD       0x29u /* 1..25 */
#define LUMORIX_OPTION_BYTEORDER               0x2Au /* 1 = B, G, R; restarts */
#define LUMORIX_OPTION_NOPACKET_TIMEOUT        0x2Bu /* milliseconds */
#define LUMORIX_OPTION_PRECISE_FRAMERATE_MAX   0x2Cu /* read only */
#define LUMORIX_OPTION_PRECISE_FRAMERATE       0x2Du
#define LUMORIX_OPTION_BANDWIDTH               0x2Eu /* 1..100 */
#define LUMORIX_OPTION_RELOAD                  0x2Fu /* get never writes its pointer */
#define LUMORIX_OPTION_CALLBACK_THREAD         0x30u /* stopped only */
#define LUMORIX_OPTION_FRAME_DEQUE_LENGTH      0x31u /* 2..1024; stopped only */
#define LUMORIX_OPTION_PRECISE_FRAMERATE_MIN   0x32u /* read only */
#define LUMORIX_OPTION_BLACKLEVEL_RAW          0x80000015u /* black level in sensor units */
