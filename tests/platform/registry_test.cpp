// Registry stores: the file tree natively, the real registry under Wine, memory everywhere.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/registry.h"

using platform::RegStatus;

namespace {

constexpr const char* kRoot = "Software\\ZerithalTest\\RegistryTest";

struct StoreCase {
  const char* name;
  platform::Registry& (*get)();
};

const StoreCase kStores[] = {
    {"memory",
     []() -> platform::Registry& {
       static const auto store = platform::MakeMemoryRegistry();
       return *store;
     }},
#ifdef _WIN32
    {"os", []() -> platform::Registry& { return platform::CurrentRegistry(); }},
#else
    {"file",
     []() -> platform::Registry& {
       static const auto store = [] {
         const auto dir =
             std::filesystem::temp_directory_path() / ("zx-registry-" + std::to_string(::getpid()));
         std::filesystem::remove_all(dir);
         return platform::MakeFileRegistry(dir.string());
       }();
       return *store;
     }},
#endif
};

class RegistryStore : public ::testing::TestWithParam<StoreCase> {
 protected:
  void SetUp() override { GetParam().get().deleteKey(kRoot); }
  void TearDown() override { GetParam().get().deleteKey(kRoot); }
  platform::Registry& reg() { return GetParam().get(); }
};

TEST_P(RegistryStore, ValuesRoundTripByType) {
  auto& r = reg();
  ASSERT_EQ(r.writeDword(kRoot, "FrameRate", 0xDEADBEEF), RegStatus::Ok);
  const uint8_t blob[] = {0, 1, 2, 0xFF, 0x80};
  ASSERT_EQ(r.writeBinary(kRoot, "pgt", blob, sizeof blob), RegStatus::Ok);
  ASSERT_EQ(r.writeString(kRoot, "Name", ZX_W("Zérithal \u00b5")), RegStatus::Ok);
  ASSERT_EQ(r.writeBinary(kRoot, "Empty", nullptr, 0), RegStatus::Ok);

  uint32_t d = 0;
  EXPECT_EQ(r.readDword(kRoot, "FrameRate", d), RegStatus::Ok);
  EXPECT_EQ(d, 0xDEADBEEFu);
  std::vector<uint8_t> b;
  EXPECT_EQ(r.readBinary(kRoot, "pgt", b), RegStatus::Ok);
  EXPECT_EQ(b, std::vector<uint8_t>(blob, blob + sizeof blob));
  EXPECT_EQ(r.readBinary(kRoot, "Empty", b), RegStatus::Ok);
  EXPECT_TRUE(b.empty());
  WString s;
  EXPECT_EQ(r.readString(kRoot, "Name", s), RegStatus::Ok);
  EXPECT_EQ(s, WString(ZX_W("Zérithal \u00b5")));
  // Overwrite keeps one value; names do not depend on case.
  ASSERT_EQ(r.writeDword(kRoot, "framerate", 7), RegStatus::Ok);
  EXPECT_EQ(r.readDword(kRoot, "FRAMERATE", d), RegStatus::Ok);
  EXPECT_EQ(d, 7u);
}

TEST_P(RegistryStore, MissingKeyMissingValueAndWrongTypeAreDistinct) {
  auto& r = reg();
  uint32_t d = 0;
  std::vector<uint8_t> b;
  WString s;
  EXPECT_EQ(r.readDword(kRoot, "log", d), RegStatus::NoKey);
  EXPECT_EQ(r.readBinary(kRoot, "log", b), RegStatus::NoKey);
  EXPECT_EQ(r.readString(kRoot, "log", s), RegStatus::NoKey);
  ASSERT_EQ(r.createKey(kRoot), RegStatus::Ok);
  EXPECT_TRUE(r.keyExists(kRoot));
  EXPECT_EQ(r.readDword(kRoot, "log", d), RegStatus::NoValue);
  const uint8_t eight[8] = {1};
  ASSERT_EQ(r.writeBinary(kRoot, "bin8", eight, 8), RegStatus::Ok);
  ASSERT_EQ(r.writeBinary(kRoot, "bin4", eight, 4), RegStatus::Ok);
  ASSERT_EQ(r.writeDword(kRoot, "dw", 1), RegStatus::Ok);
  EXPECT_EQ(r.readDword(kRoot, "bin8", d), RegStatus::WrongType);
  EXPECT_EQ(r.readDword(kRoot, "bin4", d), RegStatus::WrongType);  // size right, type not
  EXPECT_EQ(r.readBinary(kRoot, "dw", b), RegStatus::WrongType);
  EXPECT_EQ(r.readString(kRoot, "dw", s), RegStatus::WrongType);
}

TEST_P(RegistryStore, DeleteKeyTakesSubkeysAndValues) {
  auto& r = reg();
  const std::string child = std::string(kRoot) + "\\Model\\Sub";
  ASSERT_EQ(r.writeDword(child, "x", 1), RegStatus::Ok);
  ASSERT_EQ(r.writeDword(kRoot, "y", 2), RegStatus::Ok);
  EXPECT_TRUE(r.keyExists(std::string(kRoot) + "\\Model"));
  EXPECT_EQ(r.deleteKey(kRoot), RegStatus::Ok);
  EXPECT_FALSE(r.keyExists(kRoot));
  EXPECT_FALSE(r.keyExists(child));
  uint32_t d = 0;
  EXPECT_EQ(r.readDword(child, "x", d), RegStatus::NoKey);
  EXPECT_EQ(r.deleteKey(kRoot), RegStatus::NoKey);
}

#ifndef _WIN32
// A value file grown past the limit (sparse, so nothing is written) is refused by its size for
// every reader and leaves the caller's value as it was; one at the limit still reads.
TEST(FileRegistry, ValueOverTheLimitIsRefusedUnread) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("zx-registry-big-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  const auto r = platform::MakeFileRegistry(dir.string());
  const uint8_t one[1] = {7};
  ASSERT_EQ(r->writeBinary(kRoot, "big", one, 1), RegStatus::Ok);
  fs::path file;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.path().extension() == ".val") file = entry.path();
  ASSERT_FALSE(file.empty());
  struct SizeCase {
    uint64_t valueBytes;
    RegStatus binary;
  };
  const SizeCase cases[] = {{platform::kRegValueMaxBytes, RegStatus::Ok},
                            {platform::kRegValueMaxBytes + 1, RegStatus::TooLarge}};
  for (const SizeCase& c : cases) {
    fs::resize_file(file, c.valueBytes + 4);  // the type word comes first
    std::vector<uint8_t> b{1, 2};
    EXPECT_EQ(r->readBinary(kRoot, "big", b), c.binary) << c.valueBytes;
    EXPECT_EQ(b.size(), c.binary == RegStatus::Ok ? c.valueBytes : 2u) << c.valueBytes;
    if (c.binary == RegStatus::Ok) continue;
    uint32_t d = 5;
    WString text = u"kept";
    EXPECT_EQ(r->readDword(kRoot, "big", d), RegStatus::TooLarge);
    EXPECT_EQ(r->readString(kRoot, "big", text), RegStatus::TooLarge);
    EXPECT_EQ(d, 5u);
    EXPECT_EQ(text, WString(u"kept"));
  }
  fs::remove_all(dir);
}
#endif

INSTANTIATE_TEST_SUITE_P(Stores, RegistryStore, ::testing::ValuesIn(kStores),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ScopedRegistry, ReplacesAndRestoresTheProcessStore) {
  platform::Registry* before = &platform::CurrentRegistry();
  {
    platform::ScopedRegistry scoped(platform::MakeMemoryRegistry());
    EXPECT_EQ(&platform::CurrentRegistry(), &scoped.get());
  }
  EXPECT_EQ(&platform::CurrentRegistry(), before);
}

}  // namespace
