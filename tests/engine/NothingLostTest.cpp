// Nothing lost: every way a load, a save, a term entry or a run can fail
// leaves the user's system (functions, current function, file name, flags,
// last result) and the files on disk as they were, and tells the user why.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>

#include "engine/FileIO.h"
#include "engine/FunctionSystem.h"
#include "engine/Minimize.h"
#include "engine/TermEntry.h"
#include "engine/TermFile.h"
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
      : Functions(s.Functions), CurrentFunction(s.CurrentFunction), InputBits(s.InputBits),
        ResultMode(s.ResultMode), CurrentFileName(s.CurrentFileName), Modified(s.Modified),
        ResultReady(s.ResultReady), Result(s.ResultCubes.get()) {}
  bool operator==(const SystemState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SystemState& s) {
  return out << "{'" << TermFileText(s.Functions) << "' current " << s.CurrentFunction << " bits "
             << s.InputBits << " file '" << s.CurrentFileName << "' modified " << s.Modified
             << " result " << s.ResultReady << "/" << s.ResultMode << "/" << s.Result << "}";
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
  for (const auto& c : cases)
    ExpectNothingLost([&] { LoadTermFile(System, c.path); }, c.message);
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
  ExpectNothingLost([&] { LoadSystemFile(System, "/dev/zero"); },
                    "zero is not a term file (it holds binary data)");
  // What follows the Ctrl-Z that ends the text is never read, binary or not.
  check::WriteFile(Dir / "after-end.trm", std::string("1, 2\x1a\0", 6) + std::string(200000, '\0'));
  LoadTermFile(System, Dir / "after-end.trm");
  EXPECT_EQ(TermFileText(System.Functions), "-1, 2");
  // Other control characters are text a hand-made file may hold.
  check::WriteFile(Dir / "tabs.trm", "-1,\t3\f\v\x01 |+\x7f" "0\x1a garbage 99999999999");
  LoadTermFile(System, Dir / "tabs.trm");
  EXPECT_EQ(TermFileText(System.Functions), "-1, 3 |+0");
}

TEST_F(NothingLostTest, LoadingAMalformedFileKeepsTheSystem) {
  check::WriteFile(Dir / "number.trm", "-1, 3, 99999999999, 5");
  ExpectNothingLost([&] { LoadTermFile(System, Dir / "number.trm"); },
                    "'99999999999' is not a valid integer value");
  check::WriteFile(Dir / "late-number.trm", "-1 |-2 |+3, 4, 5, 2147483648");
  ExpectNothingLost([&] { LoadTermFile(System, Dir / "late-number.trm"); },
                    "'2147483648' is not a valid integer value");
  std::string many;
  for (size_t i = 0; i < MaxFunctions; ++i) many += "-1 |";
  check::WriteFile(Dir / "many.trm", many + "-1");  // one function too many
  ExpectNothingLost([&] { LoadTermFile(System, Dir / "many.trm"); },
                    "Too many functions (at most 65536).");
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
      Dir / "work.trm/x.trm",         // a file used as a folder
      Dir / "no/such/folder/x.trm",   // a folder that does not exist
      "/proc/tavro-test.trm",         // a folder nobody can create files in
      Dir / "folder.trm",             // a folder where the file should go
  };
  for (const auto& path : paths)
    ExpectNothingLost([&] { SaveTermFile(System, path); }, "Cannot create file");
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
  ExpectNothingLost([&] { SaveTermFile(System, WorkFile); },
                    "Cannot create file " + WorkFile + ": File too large");
  ExpectNothingLost([&] { WriteFileAtomic(Dir / "new.vhd", std::string(100, 'x')); },
                    "Cannot create file");
  for (const std::string& path : {WorkFile, linked}) {
    ExpectNothingLost([&] { WriteFileAtomic(path, std::string(100, 'x')); },
                      "Cannot create file " + path + ": File too large");
    ExpectNothingLost([&] { WriteFileAtomicFrom(path, source); },
                      "Cannot create file " + path + ": File too large");
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
  EXPECT_EQ(TermEntryText(ParseTermEntry("2147483647d, 00000000000000000000000000000012", false)),
            "12, 2147483647d");
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
    EXPECT_EQ(RunCommand(System, mode, {true, true, true}, host, nullptr, limits),
              TRunOutcome::TooLarge);
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

// The two writers: from memory and from a file.
void WriteBothWays(const std::string& path, const std::string& text, int way) {
  if (way == 0) return WriteFileAtomic(path, text);
  check::TempDir sourceDir;
  check::WriteFile(sourceDir / "source", text);
  WriteFileAtomicFrom(path, sourceDir / "source");
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename());
  return names;
}

// A file written over is still the user's: its owner, group and mode (another
// user's where the tests run as root), its other hard links, a name as long as
// the folder takes; nothing else is left in the folder.
TEST(FileWriteTest, AWrittenFileKeepsWhatMakesItTheUsersFile) {
  check::TempDir dir;
  const bool root = geteuid() == 0;
  struct Case {
    std::string name;
    mode_t mode;
    uid_t uid;
    gid_t gid;
  };
  std::vector<Case> cases = {{"plain", 0644, geteuid(), getegid()},
                             {"private", 0600, geteuid(), getegid()},
                             {"setgid", 02750, geteuid(), getegid()},
                             {std::string(250, 'n'), 0640, geteuid(), getegid()}};
  if (root) {
    cases.push_back({"others", 0640, 65534, 65534});
    cases.push_back({"read-only", 0444, 1234, 5678});  // root may write it, as in the shell
  }
  for (int way = 0; way < 2; ++way) {
    for (const Case& c : cases) {
      const std::string path = dir / c.name;
      check::WriteFile(path, "old");
      ASSERT_EQ(chown(path.c_str(), c.uid, c.gid), 0);
      ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
      WriteBothWays(path, "new " + c.name, way);
      struct stat st {};
      ASSERT_EQ(stat(path.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, c.mode) << c.name;
      EXPECT_EQ(st.st_uid, c.uid) << c.name;
      EXPECT_EQ(st.st_gid, c.gid) << c.name;
      EXPECT_EQ(check::ReadWholeFile(path), "new " + c.name);
    }
    const std::string linked = dir / "linked", other = dir / "other-name";
    check::WriteFile(linked, "old");
    std::filesystem::create_hard_link(linked, other);
    WriteBothWays(other, "new linked", way);
    EXPECT_TRUE(std::filesystem::equivalent(linked, other));
    EXPECT_EQ(check::ReadWholeFile(linked), "new linked");
    std::filesystem::remove(linked);
    std::filesystem::remove(other);
    std::set<std::string> expected;
    for (const Case& c : cases) expected.insert(c.name);
    EXPECT_EQ(Names(dir.Path()), expected);
  }
}

// Runs check in a child process as an ordinary user (uid 65534 where the
// tests run as root); returns what it reports, empty when all is well.
std::string AsOrdinaryUser(const std::function<std::string()>& check) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string report;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      report = "cannot become uid 65534";
    else
      report = check();
    const ssize_t ignored = write(fds[1], report.data(), report.size());
    (void)ignored;
    _exit(0);
  }
  close(fds[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, size_t(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) report += "child did not end normally";
  return report;
}

// An ordinary user writes what the shell would let them write, and the check
// made before writing says beforehand exactly what the write then says.
TEST(FileWriteTest, AnOrdinaryUserWritesOnlyWhatTheShellWould) {
  check::TempDir dir;
  const bool root = geteuid() == 0;
  const uid_t user = root ? 65534 : geteuid();
  const gid_t group = root ? 65534 : getegid();
  ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
  std::filesystem::create_directory(dir / "locked");
  const auto make = [&](const std::string& name, mode_t mode, uid_t uid, gid_t gid) {
    check::WriteFile(dir / name, "old " + name);
    ASSERT_EQ(chown((dir / name).c_str(), uid, gid), 0);
    ASSERT_EQ(chmod((dir / name).c_str(), mode), 0);
  };
  make("read-only", 0444, user, group);
  make("locked/writable", 0644, user, group);   // in a folder that takes no new file
  if (root) make("others", 0666, 0, 0);         // a new file could not be root's
  ASSERT_EQ(chown((dir / "locked").c_str(), user, group), 0);
  ASSERT_EQ(chmod((dir / "locked").c_str(), 0555), 0);
  struct Case {
    std::string name, refusal;  // empty: written
  };
  std::vector<Case> cases = {{"read-only", "Permission denied"},
                             {"locked/writable", ""},
                             {"locked/new", "Permission denied"},
                             {"new", ""}};
  if (root) cases.push_back({"others", ""});
  const std::string report = AsOrdinaryUser([&] {
    std::string failures;
    for (const Case& c : cases) {
      const std::string path = dir / c.name;
      const std::string before = check::ReadWholeFile(path);
      struct stat old {};
      const bool existed = stat(path.c_str(), &old) == 0;
      std::string checked = "", written = "";
      try {
        CheckWritable(path);
      } catch (const FileError& e) {
        checked = e.what();
      }
      try {
        WriteFileAtomic(path, "new " + c.name);
      } catch (const FileError& e) {
        written = e.what();
      }
      const std::string refusal = c.refusal.empty() ? "" : "Cannot create file " + path + ": " + c.refusal;
      if (checked != written) failures += c.name + ": checked '" + checked + "', written '" + written + "'\n";
      if (written != refusal) failures += c.name + ": '" + written + "' instead of '" + refusal + "'\n";
      const std::string after = check::ReadWholeFile(path);
      if (after != (refusal.empty() ? "new " + c.name : before)) failures += c.name + " holds '" + after + "'\n";
      struct stat now {};
      if (existed && stat(path.c_str(), &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid))
        failures += c.name + " changed owner\n";
    }
    return failures;
  });
  chmod((dir / "locked").c_str(), 0755);
  EXPECT_EQ(report, "");
  EXPECT_EQ(Names(dir / "locked"), (std::set<std::string>{"writable"}));
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
