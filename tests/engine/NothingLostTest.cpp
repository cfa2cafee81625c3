// Nothing lost: every way a load, a save, a term entry or a run can fail
// leaves the user's system (functions, current function, file name, flags,
// last result) and the files on disk as they were, and tells the user why.

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "engine/core/FunctionSystem.h"
#include "engine/io/FileIO.h"
#include "engine/io/TermEntry.h"
#include "engine/io/TermFile.h"
#include "engine/run/Minimize.h"
#include "model/Errors.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

namespace tavro {
namespace {

struct SystemState {
  std::vector<TTermVector> Functions;
  int CurrentFunction, InputBits, ResultMode;
  std::string CurrentFileName;
  bool Modified, ResultReady;
  const TCover* Result;

  explicit SystemState(const TFunctionSystem& s)
      : Functions(s.Functions),
        CurrentFunction(s.CurrentFunction),
        InputBits(s.InputBits),
        ResultMode(s.ResultMode),
        CurrentFileName(s.CurrentFileName),
        Modified(s.Modified),
        ResultReady(s.ResultReady),
        Result(s.ResultCubes.get()) {}
  bool operator==(const SystemState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SystemState& s) {
  return out << "{'" << TermFileText(s.Functions) << "' current " << s.CurrentFunction << " bits " << s.InputBits
             << " file '" << s.CurrentFileName << "' modified " << s.Modified << " result " << s.ResultReady << "/"
             << s.ResultMode << "/" << s.Result << "}";
}

class NothingLostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WorkFile = Dir / "work.trm";
    check::WriteFile(WorkFile, "-1, 3 |+0, 2");
    LoadTermFile(System, WorkFile);
    // The user has edited the loaded system and run it.
    System.Functions[1].Add(6, true);
    System.CurrentFunction = 1;
    System.Modified = true;
    System.UpdateInputBits();
    check::RecordingHost host;
    ASSERT_EQ(RunCommand(System, modePOS, {}, host), TRunOutcome::Completed);
    ASSERT_TRUE(System.ResultReady);
  }

  // Runs action, which must fail with a TavroError whose message contains
  // part; the system and every file in the test folder must be as before.
  void ExpectNothingLost(const std::function<void()>& action, const std::string& part) {
    const SystemState before(System);
    const auto files = check::Snapshot(Dir.Path());
    try {
      action();
      ADD_FAILURE() << "no error; expected one mentioning '" << part << "'";
    } catch (const TavroError& e) {
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
    EXPECT_EQ(SystemState(System), before);
    EXPECT_EQ(check::Snapshot(Dir.Path()), files) << "the files on disk changed";
  }

  check::TempDir Dir;
  std::string WorkFile;
  TFunctionSystem System;
};

TEST_F(NothingLostTest, LoadingAFileThatCannotBeReadKeepsTheSystem) {
  std::filesystem::create_directory(Dir / "folder.trm");
  struct Case {
    std::string path, message;
  };
  const Case cases[] = {
      {Dir / "missing.trm", "File not found"},
      {Dir / "no/such/folder/x.trm", "File not found"},
      {Dir / "work.trm/x.trm", "File not found"},  // a file used as a folder
      {Dir / "folder.trm", "File access denied (it is a folder)"},
      {"/proc/self/mem", "Cannot read file"},  // unreadable even for root
  };
  for (const auto& c : cases) ExpectNothingLost([&] { LoadTermFile(System, c.path); }, c.message);
}

TEST_F(NothingLostTest, LoadingABinaryFileKeepsTheSystem) {
  check::WriteFile(Dir / "image.trm", std::string("-1, 3\0\x89PNG", 9));
  ExpectNothingLost([&] { LoadTermFile(System, Dir / "image.trm"); },
                    "image.trm is not a term file (it holds binary data)");
  // A NUL far behind a valid start, past the first read block.
  check::WriteFile(Dir / "late.trm", std::string(300000, '1') + '\0');
  ExpectNothingLost([&] { LoadTermFile(System, Dir / "late.trm"); },
                    "late.trm is not a term file (it holds binary data)");
  // An endless device is refused at its first block, not read forever.
  ExpectNothingLost([&] { LoadSystemFile(System, "/dev/zero"); }, "zero is not a term file (it holds binary data)");
  // What follows the Ctrl-Z that ends the text is never read, binary or not.
  check::WriteFile(Dir / "after-end.trm", std::string("1, 2\x1a\0", 6) + std::string(200000, '\0'));
  LoadTermFile(System, Dir / "after-end.trm");
  EXPECT_EQ(TermFileText(System.Functions), "-1, 2");
  // Other control characters are text a hand-made file may hold.
  check::WriteFile(Dir / "tabs.trm",
                   "-1,\t3\f\v\x01 |+\x7f"
                   "0\x1a garbage 99999999999");
  LoadTermFile(System, Dir / "tabs.trm");
  EXPECT_EQ(TermFileText(System.Functions), "-1, 3 |+0");
}

TEST_F(NothingLostTest, LoadingAMalformedFileKeepsTheSystem) {
  check::WriteFile(Dir / "number.trm", "-1, 3, 99999999999, 5");
  ExpectNothingLost([&] { LoadTermFile(System, Dir / "number.trm"); }, "'99999999999' is not a valid integer value");
  check::WriteFile(Dir / "late-number.trm", "-1 |-2 |+3, 4, 5, 2147483648");
  ExpectNothingLost([&] { LoadTermFile(System, Dir / "late-number.trm"); },
                    "'2147483648' is not a valid integer value");
  std::string many;
  for (size_t i = 0; i < MaxFunctions; ++i) many += "-1 |";
  check::WriteFile(Dir / "many.trm", many + "-1");  // one function too many
  ExpectNothingLost([&] { LoadTermFile(System, Dir / "many.trm"); }, "Too many functions (at most 65536).");
  // A sparse file just over the size limit is refused before it is read.
  // (In a folder of its own: the snapshot of Dir would read all of it.)
  check::TempDir other;
  const std::string huge = other / "huge.trm";
  check::WriteFile(huge, "");
  std::filesystem::resize_file(huge, MaxFileBytes + 1);
  ExpectNothingLost([&] { LoadTermFile(System, huge); }, "File too large (more than 4096 MiB)");
}

TEST_F(NothingLostTest, LoadingAWellFormedFileReplacesTheSystem) {
  // The counterpart of the failures above: the same calls do change things.
  check::WriteFile(Dir / "other.trm", "+0, 1d, 000000000000000000000000000000000000000000000000000000000000000000002");
  LoadTermFile(System, Dir / "other.trm");
  EXPECT_EQ(TermFileText(System.Functions), "+0, 1d, 2");
  EXPECT_EQ(System.CurrentFileName, Dir / "other.trm");
  EXPECT_FALSE(System.Modified);
  EXPECT_FALSE(System.ResultReady);
}

// Save As onto a chain of links writes the file at its end; a loop of links
// is no file to write.
TEST_F(NothingLostTest, SavingOntoALinkWritesThroughIt) {
  namespace fs = std::filesystem;
  fs::create_symlink(WorkFile, Dir / "first.trm");
  fs::create_symlink("first.trm", Dir / "chain.trm");
  fs::create_symlink("chain.trm", Dir / "loop.trm");
  System.Functions[0].Add(5, true);
  SaveTermFile(System, Dir / "chain.trm");
  EXPECT_TRUE(fs::is_symlink(Dir / "first.trm") && fs::is_symlink(Dir / "chain.trm"));
  EXPECT_EQ(ParseTermFileText(check::ReadWholeFile(WorkFile)), System.Functions);
  fs::remove(Dir / "first.trm");
  fs::create_symlink("loop.trm", Dir / "first.trm");
  EXPECT_THROW(SaveTermFile(System, Dir / "loop.trm"), FileError);
  EXPECT_TRUE(fs::is_symlink(Dir / "loop.trm"));
}

TEST_F(NothingLostTest, SavingWhereNoFileCanBeCreatedKeepsTheSystem) {
  std::filesystem::create_directory(Dir / "folder.trm");
  check::WriteFile(Dir / "folder.trm/inside", "keep");
  const std::string paths[] = {
      Dir / "work.trm/x.trm",        // a file used as a folder
      Dir / "no/such/folder/x.trm",  // a folder that does not exist
      "/proc/tavro-test.trm",        // a folder nobody can create files in
      Dir / "folder.trm",            // a folder where the file should go
  };
  for (const auto& path : paths) ExpectNothingLost([&] { SaveTermFile(System, path); }, "Cannot create file");
}

// A full disk, simulated by a file size limit: the write fails half-way and
// the file must keep its content, whether it is replaced through a temporary
// file or rewritten in place (a file with another hard link), and whether the
// new content comes from memory or from a file.
TEST_F(NothingLostTest, SavingToAFullDiskKeepsTheOldFile) {
  check::WriteFile(WorkFile, "-1");
  const std::string linked = Dir / "linked.txt", source = Dir / "source.txt";
  check::WriteFile(linked, "old linked text");
  std::filesystem::create_hard_link(linked, Dir / "other-name.txt");
  check::WriteFile(source, std::string(4000, 's'));
  System.Functions[0].AddAll({{100000, false}, {200000, true}});  // longer than 16 bytes
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 16;
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ExpectNothingLost([&] { SaveTermFile(System, WorkFile); }, "Cannot create file " + WorkFile + ": File too large");
  ExpectNothingLost([&] { WriteFileAtomic(Dir / "new.vhd", std::string(100, 'x')); }, "Cannot create file");
  for (const std::string& path : {WorkFile, linked}) {
    ExpectNothingLost([&] { WriteFileAtomic(path, std::string(100, 'x')); },
                      "Cannot create file " + path + ": File too large");
    ExpectNothingLost([&] { WriteFileAtomicFrom(path, source); }, "Cannot create file " + path + ": File too large");
    // A source that fails to read half-way (a folder cannot be read).
    ExpectNothingLost([&] { WriteFileAtomicFrom(path, Dir.Path()); },
                      "Cannot read file " + Dir.Path() + ": Is a directory");
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(check::ReadWholeFile(WorkFile), "-1");
  // With room again the same save works.
  SaveTermFile(System, WorkFile);
  EXPECT_FALSE(System.Modified);
  EXPECT_EQ(ParseTermFileText(check::ReadWholeFile(WorkFile)), System.Functions);
  WriteFileAtomicFrom(linked, source);
  EXPECT_EQ(check::ReadWholeFile(Dir / "other-name.txt"), std::string(4000, 's'));
}

TEST_F(NothingLostTest, ATermEntryWithABadNumberKeepsTheFunction) {
  struct Case {
    std::string text, shown;
  };
  const Case cases[] = {
      {"1, 2147483648, 3", "2147483648"},
      {"5d, 99999999999999999999d", "99999999999999999999"},
      {"1, " + std::string(300, '7'), std::string(300, '7')},
      {"1, " + std::string(301, '7'), std::string(300, '7') + "\u2026"},
      {"1, 1" + std::string(100000, '0') + ",", "1" + std::string(299, '0') + "\u2026"},
  };
  for (const auto& c : cases) {
    // As the entry dialog does: the function is replaced only by a result.
    ExpectNothingLost([&] { System.Current() = ParseTermEntry(c.text, true); },
                      "'" + c.shown + "' is not a valid integer value");
    // A term file quotes the number the same way.
    check::WriteFile(Dir / "long.trm", c.text);
    ExpectNothingLost([&] { LoadTermFile(System, Dir / "long.trm"); },
                      "'" + c.shown + "' is not a valid integer value");
  }
  // The largest number that still is one, and leading zeros that are no
  // overflow.
  EXPECT_EQ(TermEntryText(ParseTermEntry("2147483647d, 00000000000000000000000000000012", false)), "12, 2147483647d");
}

TEST_F(NothingLostTest, ARunRefusedForWidthKeepsTheSystemAndTheLastResult) {
  System.Functions[0].Add(int32_t{1} << 24, false);
  System.UpdateInputBits();
  check::RecordingHost host;
  const SystemState before(System);
  for (int mode : {modeSOP, modePOS})
    EXPECT_EQ(RunCommand(System, mode, {true, true, true}, host), TRunOutcome::TooWide);
  EXPECT_EQ(SystemState(System), before);
  EXPECT_EQ(host.Output, "");
  EXPECT_EQ(host.Beeps, 2);
  EXPECT_EQ(host.LastStatus(), "Too many input bits: 25 (at most 24).");
}

TEST_F(NothingLostTest, ARunRefusedForMemoryKeepsTheSystemAndTheLastResult) {
  TRunParams limits;
  limits.MaxMemoryBytes = 1;
  check::RecordingHost host;
  const SystemState before(System);
  for (int mode : {modeSOP, modePOS})
    EXPECT_EQ(RunCommand(System, mode, {true, true, true}, host, nullptr, limits), TRunOutcome::TooLarge);
  EXPECT_EQ(SystemState(System), before);
  EXPECT_EQ(host.Output, "");
  EXPECT_EQ(host.Beeps, 2);
  EXPECT_EQ(host.LastStatus(), "System too large to minimize (about 1 MiB needed).");
}

TEST(FileIOTest, BaseName) {
  EXPECT_EQ(BaseName("a/b/c.trm"), "c.trm");
  EXPECT_EQ(BaseName("c.trm"), "c.trm");
  EXPECT_EQ(BaseName("/dev/zero"), "zero");
  EXPECT_EQ(BaseName("a/folder/"), "folder");
  EXPECT_EQ(BaseName("/"), "/");
}

size_t FileCount(const std::string& folder) {
  const std::filesystem::directory_iterator files(folder);
  return static_cast<size_t>(std::distance(begin(files), end(files)));
}

// A file written over stays the user's: its owner, group and mode (another
// user's where the tests run as root), a name as long as the folder takes;
// no temporary file is left.
TEST(FileWriteTest, AWrittenFileKeepsWhatMakesItTheUsersFile) {
  check::TempDir dir;
  struct Case {
    std::string name;
    mode_t mode;
    uid_t uid;
    gid_t gid;
  };
  std::vector<Case> cases = {{"private", 0600, geteuid(), getegid()},
                             {"setgid", 02750, geteuid(), getegid()},
                             {std::string(250, 'n'), 0644, geteuid(), getegid()}};
  if (geteuid() == 0) cases.insert(cases.end(), {{"others", 0640, 65534, 65534}, {"read-only", 0444, 1234, 5678}});
  for (const Case& c : cases) {
    const std::string path = dir / c.name;
    check::WriteFile(path, "old");
    ASSERT_EQ(chown(path.c_str(), c.uid, c.gid) | chmod(path.c_str(), c.mode), 0);
    WriteFileAtomic(path, "new " + c.name);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(std::tuple(st.st_mode & 07777, st.st_uid, st.st_gid), std::tuple(c.mode, c.uid, c.gid)) << c.name;
    EXPECT_EQ(check::ReadWholeFile(path), "new " + c.name);
  }
  EXPECT_EQ(FileCount(dir.Path()), cases.size());
}

// An ordinary user (uid 65534 where the tests run as root, in a child
// process) writes what the shell would let them write, and the check made
// before writing says exactly what the write then says.
TEST(FileWriteTest, AnOrdinaryUserWritesOnlyWhatTheShellWould) {
  check::TempDir dir;
  const bool root = geteuid() == 0;
  const uid_t user = root ? 65534 : geteuid();
  const gid_t group = root ? 65534 : getegid();
  std::filesystem::create_directory(dir / "locked");
  const std::pair<std::string, mode_t> files[] = {{"read-only", 0444}, {"locked/writable", 0644}, {"others", 0666}};
  for (const auto& [name, mode] : files) {
    check::WriteFile(dir / name, "old");
    // A new file could not be root's, as "others" is.
    const bool others = name == "others" && root;
    ASSERT_EQ(chown((dir / name).c_str(), others ? 0 : user, others ? 0 : group) | chmod((dir / name).c_str(), mode),
              0);
  }
  ASSERT_EQ(chown((dir / "locked").c_str(), user, group) | chmod((dir / "locked").c_str(), 0555) |
                chmod(dir.Path().c_str(), 0777),
            0);
  // The expected refusal, or nothing where the file is written.
  const std::pair<std::string, std::string> cases[] = {{"read-only", "Permission denied"},
                                                       {"locked/writable", ""},
                                                       {"locked/new", "Permission denied"},
                                                       {"others", ""},
                                                       {"new", ""}};
  // The child says what went wrong on stderr, and how often in its status.
  const pid_t pid = fork();
  if (pid == 0) {
    int failures = root && (setgroups(0, nullptr) | setgid(group) | setuid(user)) != 0;
    for (const auto& [name, reason] : cases) {
      const std::string path = dir / name, old = check::ReadWholeFile(path);
      std::string checked, written;
      try {
        CheckWritable(path);
      } catch (const FileError& e) {
        checked = e.what();
      }
      try {
        WriteFileAtomic(path, "new");
      } catch (const FileError& e) {
        written = e.what();
      }
      const std::string refusal = reason.empty() ? "" : "Cannot create file " + path + ": " + reason;
      if (checked != written || written != refusal || check::ReadWholeFile(path) != (reason.empty() ? "new" : old))
        failures += std::fprintf(stderr, "%s: checked '%s', written '%s'\n", name.c_str(), checked.c_str(),
                                 written.c_str()) > 0;
    }
    _exit(failures);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  chmod((dir / "locked").c_str(), 0755);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FileCount(dir / "locked"), 1u);
  struct stat others {};
  EXPECT_TRUE(stat((dir / "others").c_str(), &others) == 0 && others.st_uid == (root ? 0 : user));
}

double CpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A 100 MB term file of short terms (about one item per four bytes) loads in
// bounded time. Its peak memory (about 11 bytes per byte of file) depends on
// the allocator and is not checked here.
TEST(LargeFileTest, AHundredMegabyteFileLoadsInBoundedTime) {
  check::TempDir dir;
  const std::string path = dir / "big.trm";
  {
    std::string chunk;
    for (int i = 0; i < 1000; ++i) chunk += std::to_string(i % 1000) + ",";
    std::string data;
    data.reserve(100u << 20);
    while (data.size() + chunk.size() <= (100u << 20)) data += chunk;
    check::WriteFile(path, data);
  }
  TFunctionSystem system;
  const double before = CpuSeconds();
  LoadTermFile(system, path);
  const double seconds = CpuSeconds() - before;
  ASSERT_EQ(system.Functions.size(), 1u);
  EXPECT_EQ(system.Functions[0].Count(), 1000);
  // About 2 s in release and 20 s under the sanitizers; CPU time, since a
  // busy machine stretches the wall clock.
  EXPECT_LT(seconds, 120.0);
}

}  // namespace
}  // namespace tavro
