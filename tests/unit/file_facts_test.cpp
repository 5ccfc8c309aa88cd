// Program headers and version resources read from bytes, whole-file reads
// and writes, sizes past 4 GB, streamed digests and files in use.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "builtins/files/exe_headers.h"
#include "engine_fixture.h"
#include "platform/digest.h"
#include "tests/support/pe_image.h"

namespace orv::test {
namespace {

using files::ExeType;
using testing::Bytes;
using testing::ImageKind;
using testing::program_image;

ExeType type_of(const Bytes& b) { return files::exe_type(files::bytes_reader(b)); }

TEST(ProgramHeaders, KindsFromTheHeaders) {
  EXPECT_EQ(type_of({}), ExeType::none);
  EXPECT_EQ(type_of(Bytes{'h', 'e', 'l', 'l', 'o'}), ExeType::none);
  EXPECT_EQ(type_of(Bytes(200, 'Z')), ExeType::none);
  EXPECT_EQ(type_of(program_image(ImageKind::dos)), ExeType::dos);
  EXPECT_EQ(type_of(program_image(ImageKind::ne)), ExeType::win16);
  EXPECT_EQ(type_of(program_image(ImageKind::pe32)), ExeType::gui32);
  EXPECT_EQ(type_of(program_image(ImageKind::pe32, true)), ExeType::console32);
  EXPECT_EQ(type_of(program_image(ImageKind::pe64)), ExeType::gui64);
  EXPECT_EQ(type_of(program_image(ImageKind::pe64, true)), ExeType::console64);
  // A PE signature with an unknown optional-header magic runs as its DOS stub.
  Bytes odd = program_image(ImageKind::pe32);
  testing::put16(odd, 0x58, 0x107);
  EXPECT_EQ(type_of(odd), ExeType::dos);
  // A new-header offset inside the DOS header itself is no new header.
  Bytes inside = program_image(ImageKind::pe32);
  testing::put32(inside, 0x3C, 8);
  EXPECT_EQ(type_of(inside), ExeType::dos);
}

TEST(ProgramHeaders, TruncatedImagesNeverReadPastTheEnd) {
  const Bytes version = testing::version_resource({1, 2, 3, 4}, {{u"040904b0", {{u"FileVersion", u"1.2"}}}});
  const Bytes full = program_image(ImageKind::pe32, false, version);
  for (std::size_t n = 0; n < full.size(); ++n) {
    const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    const ExeType t = type_of(cut);
    EXPECT_TRUE(t == ExeType::none || t == ExeType::dos || t == ExeType::gui32) << n;
    const auto info = files::version_info(files::bytes_reader(cut));
    if (info && !info->tables.empty() && !info->tables[0].strings.empty()) {
      EXPECT_EQ(info->tables[0].strings[0].first, u"FileVersion") << n;
    }
  }
}

TEST(VersionResource, FixedPartAndStringTables) {
  const Bytes version = testing::version_resource(
      {10, 0, 19041, 7}, {{u"040904b0", {{u"CompanyName", u"Tarn Works"}, {u"FileVersion", u"10.0 (build)"}}},
                          {u"040704b0", {{u"CompanyName", u"Tarn Werke"}, {u"Empty", u""}}}});
  for (ImageKind kind : {ImageKind::pe32, ImageKind::pe64}) {
    const Bytes image = program_image(kind, false, version);
    const auto info = files::version_info(files::bytes_reader(image));
    ASSERT_TRUE(info);
    ASSERT_TRUE(info->hasFixed);
    EXPECT_EQ(info->fileVersion[0], 10);
    EXPECT_EQ(info->fileVersion[2], 19041);
    EXPECT_EQ(info->fileVersion[3], 7);
    ASSERT_EQ(info->tables.size(), 2u);
    EXPECT_EQ(info->tables[0].language, u"040904b0");
    EXPECT_EQ(info->tables[0].strings[1].second, u"10.0 (build)");
    EXPECT_EQ(info->tables[1].strings[0].second, u"Tarn Werke");
    EXPECT_EQ(info->tables[1].strings[1].second, u"");
  }
  // No resource, or a program of another kind: nothing to read.
  EXPECT_FALSE(files::version_info(files::bytes_reader(program_image(ImageKind::pe32))));
  EXPECT_FALSE(files::version_info(files::bytes_reader(program_image(ImageKind::ne))));
}

TEST(VersionResource, EveryLanguageWithUsEnglishFirst) {
  const Bytes german = testing::version_resource({1, 0, 0, 0}, {{u"040704b0", {{u"ProductName", u"Werkzeug"}}}});
  const Bytes english = testing::version_resource({1, 0, 0, 1}, {{u"040904b0", {{u"ProductName", u"Tool"}}}});
  const Bytes image = program_image(ImageKind::pe32, false, {{0x407, german}, {0x409, english}});
  const auto info = files::version_info(files::bytes_reader(image));
  ASSERT_TRUE(info);
  ASSERT_EQ(info->tables.size(), 2u);
  EXPECT_EQ(info->tables[0].language, u"040904b0");
  EXPECT_EQ(info->tables[1].strings[0].second, u"Werkzeug");
  EXPECT_EQ(info->fileVersion[3], 1);   // the fixed part of the first language read
}

TEST(VersionResource, BadBlockLengthsEndTheWalk) {
  Bytes block = testing::version_resource({1, 0, 0, 0}, {{u"040904b0", {{u"A", u"x"}}}});
  EXPECT_TRUE(files::parse_version_block(block.data(), block.size()));
  // A root longer than the data, or shorter than its own header, is refused.
  Bytes longer = block;
  testing::put16(longer, 0, static_cast<std::uint32_t>(block.size() + 4));
  EXPECT_FALSE(files::parse_version_block(longer.data(), longer.size()));
  Bytes tiny = block;
  testing::put16(tiny, 0, 4);
  EXPECT_FALSE(files::parse_version_block(tiny.data(), tiny.size()));
  // A child whose length is zero stops the children without looping.
  Bytes zeroChild = block;
  const std::size_t child = 0x5C;   // after the key and the 52-byte fixed part
  testing::put16(zeroChild, child, 0);
  const auto info = files::parse_version_block(zeroChild.data(), zeroChild.size());
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->tables.empty());
}

TEST(ProgramHeaders, RealProgramsWhereInstalled) {
  const std::string dir32 = "/usr/lib/i386-linux-gnu/wine/i386-windows/", dir64 = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/";
  if (!std::filesystem::exists(dir32 + "kernel32.dll") || !std::filesystem::exists(dir64 + "cmd.exe"))
    GTEST_SKIP() << "no Windows programs on this machine";
  const auto read = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(type_of(read(dir32 + "cmd.exe")), ExeType::console32);
  EXPECT_EQ(type_of(read(dir32 + "control.exe")), ExeType::gui32);
  EXPECT_EQ(type_of(read(dir64 + "cmd.exe")), ExeType::console64);
  EXPECT_EQ(type_of(read(dir64 + "control.exe")), ExeType::gui64);
  EXPECT_FALSE(files::version_info(files::bytes_reader(read(dir32 + "cmd.exe"))));
  const auto info = files::version_info(files::bytes_reader(read(dir32 + "kernel32.dll")));
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->hasFixed);
  EXPECT_FALSE(info->tables.empty());
}

TEST(DigestStream, PiecesGiveTheDigestOfTheWhole) {
  std::vector<std::uint8_t> data(3000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  using platform::DigestKind;
  for (DigestKind kind : {DigestKind::md5, DigestKind::sha1, DigestKind::sha256, DigestKind::sha384, DigestKind::sha512}) {
    std::vector<std::uint8_t> whole, pieces;
    ASSERT_TRUE(platform::digest(kind, data.data(), data.size(), whole));
    EXPECT_EQ(whole.size(), platform::digest_size(kind));
    platform::DigestStream s(kind);
    // Pieces that cross the 64- and 128-byte blocks at odd places.
    for (std::size_t at = 0, step = 1; at < data.size(); at += step, step = step * 3 % 251 + 1)
      ASSERT_TRUE(s.update(data.data() + at, std::min(step, data.size() - at)));
    ASSERT_TRUE(s.finish(pieces));
    EXPECT_EQ(whole, pieces);
  }
}

class FileFactsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() / ("orv_facts_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(dir_ / "ro.txt", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir_, ec);
    EngineTest::TearDown();
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, const Bytes& bytes) {
    std::ofstream out(path(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::filesystem::path dir_;
};

TEST_F(FileFactsTest, SizesPast4GigabytesStayExact) {
  const std::uint64_t big = 5ull << 30;
  {
    const int fd = ::open(path("sparse.bin").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(big)), 0);
    ::close(fd);
  }
  write("small.txt", Bytes(1000, 'x'));
  EXPECT_EQ(eval("FileSize(\"" + path("sparse.bin") + "\")"), std::to_string(big));
  EXPECT_EQ(eval("FileSize(\"" + path("*.*") + "\", 1)"), "5,368,710,120");
  EXPECT_EQ(eval("FileSizeEx(\"" + path("small.txt") + "\")"), "1000");
  EXPECT_EQ(flags_of("FileSizeEx(\"" + path("small.txt") + "\")"), vf::kInt64);
  EXPECT_EQ(flags_of("FileSize(\"" + path("small.txt") + "\")"), vf::kInt);
  eval("a = FileInfoToArray(\"" + path("sparse.bin") + "\")");
  EXPECT_EQ(eval("a[1, 1]"), std::to_string(big));
  EXPECT_EQ(eval("a[0, 1]"), std::to_string(big));
}

TEST_F(FileFactsTest, VersionAndKindOfAProgramFile) {
  write("prog.exe", program_image(ImageKind::pe32, true,
                                  testing::version_resource({2, 5, 0, 1}, {{u"040904b0", {{u"ProductName", u"Tarn Tool"}}},
                                                                           {u"040704b0", {{u"ProductName", u"Tarn Werkzeug"}}}})));
  const std::string p = "\"" + path("prog.exe") + "\"";
  EXPECT_EQ(eval("ExeTypeInfo(" + p + ")"), "4");
  EXPECT_EQ(eval("FileVerInfo(" + p + ", \"\", \"productname\")"), "Tarn Tool");
  EXPECT_EQ(eval("FileVerInfo(" + p + ", \"040704B0\", \"ProductName\")"), "Tarn Werkzeug");
  EXPECT_EQ(eval("FileVerInfo(" + p + ", \"041104b0\", \"ProductName\")"), "");
  EXPECT_EQ(eval("FileVerInfo(" + p + ", \"\", \"Missing\")"), "");
  EXPECT_EQ(eval("FileVerInfo(" + p + ", \"\", \"#FileVersion\")"), "2.5.0.1");
  EXPECT_EQ(eval("FileVerInfo(" + p + ", \"\", \"\")"), "040904b0\t040704b0");
  // A newer version replaces the target whatever the times say; an older one does not.
  write("old.exe", program_image(ImageKind::pe32, true, testing::version_resource({2, 4, 9, 9}, {})));
  EXPECT_EQ(eval("InstallFile(" + p + ", \"" + path("old.exe") + "\")"), "2");
  EXPECT_EQ(eval("FileVerInfo(\"" + path("old.exe") + "\", \"\", \"#FileVersion\")"), "2.5.0.1");
  write("newer.exe", program_image(ImageKind::pe32, true, testing::version_resource({3, 0, 0, 0}, {})));
  EXPECT_EQ(eval("InstallFile(" + p + ", \"" + path("newer.exe") + "\")"), "0");
  EXPECT_EQ(eval("FileVerInfo(\"" + path("newer.exe") + "\", \"\", \"#FileVersion\")"), "3.0.0.0");
  EXPECT_EQ(eval("InstallFile(" + p + ", \"" + path("newer.exe") + "\", 2)"), "2");
  EXPECT_EQ(eval("InstallFile(" + p + ", \"" + path("x.exe") + "\", 8)"), "error 4051");
}

TEST_F(FileFactsTest, FilesHeldByALockAreListed) {
  write("free.txt", Bytes(3, 'a'));
  write("held.txt", Bytes(3, 'b'));
  const int fd = ::open(path("held.txt").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_EQ(eval("FileLockItemize(\"" + path("free.txt") + "|" + path("held.txt") + "\")"), path("held.txt"));
  ::close(fd);
  EXPECT_EQ(eval("FileLockItemize(\"" + path("*.txt") + "\")"), "");
}

TEST_F(FileFactsTest, AFailedWriteKeepsTheOldFile) {
  write("ro.txt", Bytes{'o', 'l', 'd'});
  std::filesystem::permissions(path("ro.txt"), std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  EXPECT_EQ(eval("FilePut(\"" + path("ro.txt") + "\", \"new\")"), "error 4043");
  EXPECT_EQ(eval("FileGet(\"" + path("ro.txt") + "\")"), "old");
  // A missing folder: nothing is left behind.
  EXPECT_EQ(eval("FilePut(\"" + path("no/such/x.txt") + "\", \"new\")"), "error 4043");
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_)) ++count;
  EXPECT_EQ(count, 1u);
}

}  // namespace
}  // namespace orv::test
