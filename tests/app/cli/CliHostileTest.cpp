// Hostile inputs to tavro-cli: binary, endless, huge and odd files, and a
// tiny memory limit. The tool must end by itself with status 0, 2 or 3 and
// say why, never crash, hang or print a partial result.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <random>
#include <set>

#include "support/RecordingHost.h"
#include "support/RunProcess.h"
#include "support/Sanitizers.h"
#include "support/TempDir.h"
#include "support/TruthTable.h"

namespace tavro {
namespace {

const std::string kCli = TAVRO_CLI_PATH;

check::ProcessResult Cli(std::vector<std::string> args, double timeout = 60) {
  args.insert(args.begin(), kCli);
  return check::RunProcess(args, timeout);
}

std::string Describe(const check::ProcessResult& r) {
  return "exit " + std::to_string(r.ExitCode) + " signal " + std::to_string(r.Signal) +
         (r.TimedOut ? " (timed out)" : "") + " after " + std::to_string(r.Seconds) + " s (" +
         std::to_string(r.CpuSeconds) + " s CPU)\nstdout: " + r.Out.substr(0, 300) +
         "\nstderr: " + r.Err.substr(0, 300);
}

void ExpectRefused(const check::ProcessResult& r, int exitCode, const std::string& message) {
  EXPECT_EQ(r.ExitCode, exitCode) << Describe(r);
  EXPECT_EQ(r.Out, "") << "nothing may be printed on stdout";
  EXPECT_NE(r.Err.find(message), std::string::npos) << "expected '" << message << "'\n" << Describe(r);
}

TEST(CliHostileTest, UnreadableAndBinaryFilesExitWithStatus2) {
  check::TempDir dir;
  check::WriteFile(dir / "program.trm", std::string("\x7f"
                                                    "ELF\x02\x01\x01\0\0\0-1, 2",
                                                    15));
  check::WriteFile(dir / "utf16.trm", std::string("\xff\xfe-\0"
                                                  "1\0",
                                                  6));
  check::WriteFile(dir / "number.trm", "-1, 3, 4294967296");
  check::WriteFile(dir / "many.trm", [] {
    std::string s;
    for (int i = 0; i <= 70000; ++i) s += " |";
    return s;
  }());
  std::filesystem::create_directory(dir / "folder.trm");
  struct Case {
    std::string path, message;
  };
  const Case cases[] = {
      {dir / "program.trm", "program.trm is not a term file (it holds binary data)"},
      {dir / "utf16.trm", "utf16.trm is not a term file (it holds binary data)"},
      {"/dev/zero", "zero is not a term file (it holds binary data)"},
      {dir / "missing.trm", "File not found"},
      {dir / "folder.trm", "(it is a folder)"},
      {dir / "number.trm", "'4294967296' is not a valid integer value"},
      {dir / "many.trm", "Too many functions (at most 65536)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ExpectRefused(Cli({c.path}, 30), 2, c.message);
  }
  // Random bytes are read up to their first Ctrl-Z, binary if a NUL comes
  // first; either way the read ends there. (A few in a hundred read as a
  // maxterm function of 23 or 24 inputs, millions of terms whose exact run
  // takes seconds, more under the sanitizers: the memory limit refuses
  // those at once, as the read, not the run, is what is tried here.)
  for (int n = 0; n < 5; ++n) {
    const auto r = Cli({"--max-memory", "64", "/dev/urandom"}, 30);
    EXPECT_TRUE(r.Signal == 0 && !r.TimedOut && r.ExitCode >= 0 && r.ExitCode != 1 && r.ExitCode <= 3) << Describe(r);
  }
}

TEST(CliHostileTest, OddFilesRunOrAreRefusedCleanly) {
  check::TempDir dir;
  struct Case {
    std::string name, content;
    int exitCode;
    std::string stderrPart;  // for a refused run
  };
  const Case cases[] = {
      {"empty", "", 0, ""},
      {"ctrl-z", "\x1a-1, 2", 0, ""},
      {"nul-after-ctrl-z", std::string("-1, 2\x1a\0\xff\0", 8), 0, ""},
      {"marks-only", "dddd,,,,||--++ d|+d", 0, ""},
      {"empty-functions",
       [] {
         std::string s;
         for (int i = 1; i < 65536; ++i) s += " |";
         return s;
       }(),
       0, ""},
      {"bom-crlf", "\xef\xbb\xbf-1,\r\n 2 ,\r\n\r\n3d |\r\n+0", 0, ""},
      {"empty-minterm-function", "-1 |+ |-", 3, "Function 2 contains no terms!"},
      {"widest-number", "-2147483647", 3, "Too many input bits: 31 (at most 24)."},
      {"one-bit-too-wide", "+16777216", 3, "Too many input bits: 25 (at most 24)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    check::WriteFile(dir / c.name, c.content);
    const auto r = Cli({dir / c.name});
    if (c.exitCode != 0) {
      ExpectRefused(r, c.exitCode, c.stderrPart);
    } else {
      EXPECT_EQ(r.ExitCode, 0) << Describe(r);
      EXPECT_EQ(r.Err, "");
      EXPECT_TRUE(r.Out.empty() || r.Out.rfind("Optimized Function(s):\r\n", 0) == 0) << r.Out;
    }
  }
}

TEST(CliHostileTest, AFifoWithoutWriterDoesNotBlock) {
  check::TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo.trm").c_str(), 0600), 0);
  const auto r = Cli({dir / "fifo.trm"}, 10);
  EXPECT_FALSE(r.TimedOut) << Describe(r);
  EXPECT_EQ(r.ExitCode, 0) << Describe(r);  // read as an empty system
  EXPECT_EQ(r.Out, "");
}

TEST(CliHostileTest, ResultsOfGeneratedFilesAreRight) {
  // The tool's own printing path, checked by the independent evaluator.
  check::TempDir dir;
  std::mt19937 rng(7);
  for (int n = 0; n < 20; ++n) {
    const int width = 3 + n % 6;
    std::string text = "-";
    TTermVector f;
    for (int32_t t = 0; t < (1 << width); ++t)
      if (rng() % 3 == 0) {
        const bool dc = rng() % 4 == 0;
        text += std::to_string(t) + (dc ? "d, " : ", ");
        f.Append(t, dc);
      }
    text += std::to_string((1 << width) - 1);
    f.Append((1 << width) - 1, false);
    check::WriteFile(dir / "f.trm", text);
    for (const bool pos : {false, true}) {
      SCOPED_TRACE(text + (pos ? " POS" : " SOP"));
      const auto r = Cli({pos ? "--pos" : "--sop", dir / "f.trm"});
      ASSERT_EQ(r.ExitCode, 0) << Describe(r);
      std::vector<check::TextFunction> printed;
      ASSERT_EQ(check::ParseSection(r.Out, "Optimized Function(s):", width, 1, pos, false, printed), "") << r.Out;
      EXPECT_EQ(check::CompareWithTable(printed[0], check::TruthTable(f, width), pos), "") << r.Out;
    }
  }
}

TEST(CliResourceLimitTest, ATinyMemoryLimitRefusesTheRunWithStatus3) {
  check::TempDir dir;
  std::string text = "-0";
  for (int t = 1; t < 65536; ++t) text += ", " + std::to_string(t);
  check::WriteFile(dir / "full16.trm", text);
  // Pairing makes every implicant of the full function, so its levels grow.
  const auto r = Cli({"--primes=pairing", "--max-memory", "1", "--pis", "-o", dir / "out.txt", "--vhdl",
                      dir / "out.vhd", dir / "full16.trm"});
  EXPECT_EQ(r.ExitCode, 3) << Describe(r);
  EXPECT_EQ(r.Out, "");
  ASSERT_FALSE(r.Err.empty());
  EXPECT_EQ(r.Err.back(), '\n');
  EXPECT_TRUE(check::TooLargeMiB(r.Err.substr(0, r.Err.size() - 1))) << r.Err;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out.vhd"));

  // Stopped during the combining, not only at the start.
  const auto later = Cli({"--primes=pairing", "--max-memory", "8", "--status", dir / "full16.trm"});
  EXPECT_EQ(later.ExitCode, 3) << Describe(later);
  EXPECT_NE(later.Err.find("Generating 1 Cubes...\nSystem too large to minimize"), std::string::npos) << later.Err;
  EXPECT_EQ(later.Out, "");

  for (const std::string bad : {"0", "-5", "abc", "12abc", ""})
    ExpectRefused(Cli({"--max-memory", bad, dir / "full16.trm"}), 2, "--max-memory takes a number");
}

// Expressions that crashed the tool by their depth, or took memory past the
// limit: each ends with a result or a refusal, as arguments just below the
// size the system allows for one.
TEST(CliHostileTest, DeepOrLargeExpressionsEndCleanly) {
  const std::string deep = std::string(60000, '(') + "A" + std::string(60000, ')');
  ExpectRefused(Cli({"-e", deep}), 2, "expression 1: nesting deeper than 4000 at column 4001\n");
  const auto nots = Cli({"-e", std::string(120000, '~') + "A", "-e", std::string(119999, '!') + "B", "-e",
                         "A" + std::string(120001, '\'')});
  EXPECT_EQ(nots.ExitCode, 0) << Describe(nots);
  EXPECT_EQ(nots.Out, "Optimized Function(s):\r\nf0 = (A)\r\nf1 = (~B)\r\nf2 = (~A)\r\n\r\n");
  // Every row of 24 inputs: 66 MiB of terms, refused as they are listed,
  // not in the run that would need hundreds more.
  const auto all = Cli({"-e", "1", "--inputs", "24", "--max-memory", "40"});
  ExpectRefused(all, 3, "System too large to minimize");
  EXPECT_LT(check::TooLargeMiB(all.Err.substr(0, all.Err.find('\n'))).value_or(0), 100u) << all.Err;
}

// A few bytes of PLA that declare a gigabyte of terms: the memory limit holds
// from the first byte read (peak resident memory within a tenth of it), and
// the refusal names what the file would need, with status 3.
TEST(CliResourceLimitTest, AFileThatWouldPassTheLimitIsRefusedAsItIsRead) {
  check::TempDir dir;
  struct Case {
    std::string name, text;
    uint64_t limitMiB, terms;
  };
  const Case cases[] = {
      {"outputs.pla", ".i 16\n.o 4096\n" + std::string(16, '-') + " " + std::string(4096, '1') + "\n", 100,
       uint64_t{4096} << 16},
      {"fr.pla", ".i 24\n.o 16\n.type fr\n" + std::string(24, '-') + " " + std::string(16, '1') + "\n", 64,
       uint64_t{16} << 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    check::WriteFile(dir / c.name, c.text);
    const auto r = Cli({"--max-memory", std::to_string(c.limitMiB), dir / c.name});
    EXPECT_EQ(r.ExitCode, 3) << Describe(r);
    EXPECT_EQ(r.Out, "");
    const auto mib = check::TooLargeMiB(r.Err.substr(0, r.Err.find('\n')));
    ASSERT_TRUE(mib) << r.Err;
    // Every term is held as 4 bytes and a flag bit.
    EXPECT_GE(*mib << 20, c.terms * 33 / 8);
    EXPECT_LE(*mib << 20, c.terms * 33 / 8 + (uint64_t{16} << 20));
    if (!::check::kAddressSanitizer) {
      EXPECT_LE(r.PeakKiB, static_cast<long>(c.limitMiB * 1024 * 11 / 10)) << Describe(r);
    }
  }
}

TEST(CliHostileTest, UncreatableOutputFilesExitWithStatus2) {
  check::TempDir dir;
  check::WriteFile(dir / "f.trm", "-1, 2");
  ExpectRefused(Cli({"-o", dir / "f.trm/out.txt", dir / "f.trm"}), 2, "Cannot create file");
  ExpectRefused(Cli({"-o", "/proc/tavro-out.txt", dir / "f.trm"}), 2, "Cannot create file");
  EXPECT_EQ(check::ReadWholeFile(dir / "f.trm"), "-1, 2");
}

TEST(CliHostileTest, OutputOverTheInputFileIsRefused) {
  check::TempDir dir;
  check::WriteFile(dir / "f.vhd", "-1, 2");
  ASSERT_EQ(symlink("f.vhd", (dir / "link.trm").c_str()), 0);
  ExpectRefused(Cli({"-o", dir / "f.vhd", dir / "f.vhd"}), 2, "would overwrite the input file");
  ExpectRefused(Cli({"-o", dir / "./f.vhd", dir / "link.trm"}), 2, "would overwrite the input file");
  ExpectRefused(Cli({"--vhdl", dir / "f", dir / "f.vhd"}), 2, "would overwrite the input file");
  EXPECT_EQ(check::ReadWholeFile(dir / "f.vhd"), "-1, 2");
  // Another file is fine.
  const auto r = Cli({"-o", dir / "out.txt", dir / "f.vhd"});
  EXPECT_EQ(r.ExitCode, 0) << Describe(r);
  EXPECT_EQ(check::ReadWholeFile(dir / "out.txt").rfind("Optimized Function(s):\r\n", 0), 0u);
}

// Every output aimed at the input (another spelling, a link) or at another
// output; links to files, dangling links and unwritable folders. No input is
// lost, and links stay links and are written through.
TEST(CliHostileTest, OutputPathsNeverReplaceTheInputAndWriteThroughLinks) {
  namespace fs = std::filesystem;
  check::TempDir dir;
  check::WriteFile(dir / "in.trm", "-1, 2");
  check::WriteFile(dir / "in.pla", ".i 2\n.o 1\n01 1\n10 1\n.e\n");
  fs::create_symlink("in.trm", dir / "in-link.vhd");
  const auto inputs = check::Snapshot(dir.Path());
  for (const std::string option : {"-o", "--vhdl", "--verilog", "--pla"}) {
    // (--vhdl adds ".vhd" to a name without it.)
    if (option != "--vhdl")
      ExpectRefused(Cli({option, dir / "./in.pla", dir / "in.pla"}), 2, "would overwrite the input file");
    ExpectRefused(Cli({option, dir / (option == "--vhdl" ? "in-link" : "in-link.vhd"), dir / "in.trm"}), 2,
                  "would overwrite the input file");
  }
  ExpectRefused(Cli({"-o", dir / "same.txt", "--pla", dir / "./same.txt", dir / "in.trm"}), 2,
                "--pla " + dir / "./same.txt" + " would overwrite the output of -o");
  ExpectRefused(Cli({"--verilog", dir / "in-link.vhd", "--vhdl", dir / "in-link", dir / "in.pla"}), 2,
                "would overwrite the output of --vhdl");
  EXPECT_EQ(check::Snapshot(dir.Path()), inputs);

  fs::create_directories(dir / "to/locked");
  check::WriteFile(dir / "to/old.v", "old");
  check::WriteFile(dir / "to/locked/kept.vhd", "kept");
  fs::create_symlink("to/old.v", dir / "out.v");
  fs::create_symlink("to/new.pla", dir / "dangling");
  fs::create_symlink("dangling", dir / "out.pla");
  fs::create_symlink(dir / "to", dir / "folder-link");
  fs::create_symlink("/proc/tavro-test.v", dir / "proc.v");
  fs::create_symlink("to/locked/kept.vhd", dir / "locked.vhd");
  const auto r = Cli({"--verilog", dir / "out.v", "--pla", dir / "out.pla", "--vhdl", dir / "folder-link/x.vhd", "-o",
                      dir / "folder-link/../out.txt", dir / "in.trm"});
  EXPECT_EQ(r.ExitCode, 0) << Describe(r);
  EXPECT_EQ(check::ReadWholeFile(dir / "to/old.v").rfind("//", 0), 0u);
  EXPECT_NE(check::ReadWholeFile(dir / "to/new.pla").find(".i 2\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "to/x.vhd") && fs::exists(dir / "out.txt"));
  std::set<std::string> made;  // and no temporary file left behind
  for (const auto& e : fs::directory_iterator(dir / "to")) made.insert(e.path().filename());
  EXPECT_EQ(made, (std::set<std::string>{"locked", "old.v", "new.pla", "x.vhd"}));
  ExpectRefused(Cli({"--verilog", dir / "proc.v", "-o", dir / "out2.txt", dir / "in.trm"}), 2, "Cannot create file");
  // A writable file in a folder that takes no new file is written in place.
  ASSERT_EQ(chmod((dir / "to/locked").c_str(), 0555), 0);
  const auto locked = Cli({"--vhdl", dir / "locked.vhd", dir / "in.trm"});
  chmod((dir / "to/locked").c_str(), 0755);
  EXPECT_EQ(locked.ExitCode, 0) << Describe(locked);
  EXPECT_EQ(check::ReadWholeFile(dir / "to/locked/kept.vhd").rfind("---", 0), 0u);
  // A device is written to, not replaced (a null device of our own, where
  // one may be made).
  if (mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    EXPECT_EQ(Cli({"-o", dir / "null", dir / "in.trm"}).ExitCode, 0);
    struct stat st {};
    EXPECT_TRUE(stat((dir / "null").c_str(), &st) == 0 && S_ISCHR(st.st_mode));
  }
  for (const std::string link : {"in-link.vhd", "out.v", "dangling", "out.pla", "folder-link", "proc.v", "locked.vhd"})
    EXPECT_TRUE(fs::is_symlink(dir / link)) << link;
  EXPECT_EQ(check::ReadWholeFile(dir / "in.trm"), "-1, 2");
}

// An output that cannot be written, a folder named as an output, or a date
// that would break out of the header comment refuses the run before any file
// is written.
TEST(CliHostileTest, ARefusedOutputWritesNoFileAtAll) {
  check::TempDir dir;
  check::WriteFile(dir / "in.trm", "-1, 2");
  check::WriteFile(dir / "good.txt", "old");
  std::filesystem::create_directory(dir / "folder");
  const auto before = check::Snapshot(dir.Path());
  const std::string good = dir / "good.txt", folder = dir / "folder", date = "--date must not hold control";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-o", good, "--vhdl", "/nonexistent/x"}, "Cannot create file /nonexistent/x.vhd: No such file or directory"},
      {{"-o", good, "--pla", dir / "in.trm/x"}, "Cannot create file " + dir / "in.trm/x: Not a directory"},
      {{"-o", good, "--vhdl", folder}, "Cannot create file " + folder + ": Is a directory"},
      {{"--verilog", folder, "--pla", dir / "x"}, "Cannot create file " + folder + ": Is a directory"},
      {{"--pla", folder + "/", "--vhdl", dir / "x"}, "Cannot create file " + folder + "/: Is a directory"},
      {{"-o", good, "--verilog", dir / "x.v", "--date", "1\nmodule evil; endmodule"}, date},
      {{"--vhdl", dir / "x", "--date", "\x1b[2J"}, date}};
  for (auto [args, message] : cases) {
    args.push_back(dir / "in.trm");
    ExpectRefused(Cli(args), 2, message);
    EXPECT_EQ(check::Snapshot(dir.Path()), before) << message;
  }
  // A name with the extension in another case keeps it; a device gets none.
  for (const std::string& vhdl : {dir / "OUT.VHD", std::string("/dev/null")})
    EXPECT_EQ(Cli({"--vhdl", vhdl, dir / "in.trm"}).ExitCode, 0);
  EXPECT_EQ(check::Snapshot(dir.Path()).size(), before.size() + 1);
  EXPECT_NE(check::ReadWholeFile(dir / "OUT.VHD").find("end struct;"), std::string::npos);
}

// SIGINT or SIGTERM while a large output is written: the temporary file is
// removed, the old file kept, and the status is the shell's for the signal.
TEST(CliHostileTest, AnInterruptedWriteLeavesNoTemporaryFile) {
  check::TempDir dir;
  const std::string target = dir / "big.txt";
  std::string parity = "A";  // 18 inputs: about 17 MB of output
  for (char v = 'B'; v <= 'R'; ++v) parity += std::string("^") + v;
  for (const int signal : {SIGTERM, SIGINT}) {
    check::WriteFile(target, "old");
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, dir.Path().c_str(), IN_CREATE), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 1), dup2(null, 2);
      execl(kCli.c_str(), kCli.c_str(), "--pis", "-e", parity.c_str(), "-o", target.c_str(), nullptr);
      _exit(127);
    }
    // Stopped as soon as its temporary file appears, so that the signal
    // surely comes while it writes.
    alignas(inotify_event) char event[sizeof(inotify_event) + NAME_MAX + 1];
    struct pollfd ready {
      watch, POLLIN, 0
    };
    const bool seen = poll(&ready, 1, 60000) == 1 && read(watch, event, sizeof event) > 0 &&
                      std::string(reinterpret_cast<inotify_event*>(event)->name).rfind("big.txt.", 0) == 0;
    close(watch);
    kill(pid, SIGSTOP), kill(pid, signal), kill(pid, SIGCONT);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << "status " << status;
    EXPECT_EQ(check::Snapshot(dir.Path()).size(), 1u);  // no temporary file
    EXPECT_EQ(check::ReadWholeFile(target), "old");
  }
}

TEST(CliHostileTest, ASystemWithoutTermsWritesNoResultFileAndSaysSo) {
  check::TempDir dir;
  check::WriteFile(dir / "empty.trm", " | ");
  check::WriteFile(dir / "out.txt", "an old result");
  for (const std::string option : {"--vhdl", "--verilog", "--pla"})
    ExpectRefused(Cli({option, dir / "out.vhd", dir / "empty.trm"}), 3, "holds no terms");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.vhd"));
  // Nothing is printed, and -o holds exactly that.
  EXPECT_EQ(Cli({"-o", dir / "out.txt", dir / "empty.trm"}).ExitCode, 0);
  EXPECT_EQ(check::ReadWholeFile(dir / "out.txt"), "");
}

// 100 MB of terms, the size a careless export or a wrong file could have:
// read, parsed and refused by the memory limit in bounded time.
TEST(CliHostileTest, AHundredMegabyteFileEndsInBoundedTime) {
  check::TempDir dir;
  std::mt19937 rng(11);
  std::string data;
  data.reserve(100u << 20);
  data += '-';
  while (data.size() < (100u << 20)) data += std::to_string(rng() % (1u << 20)) + ", ";
  check::WriteFile(dir / "big.trm", data);
  data.clear();
  data.shrink_to_fit();
  const auto r = Cli({"--max-memory", "64", dir / "big.trm"}, 500);
  ExpectRefused(r, 3, "System too large to minimize");
  // About 3 s in release and 10 s under the sanitizers; CPU time, since a
  // busy machine stretches the wall clock.
  EXPECT_LT(r.CpuSeconds, 120.0) << Describe(r);
}

}  // namespace
}  // namespace tavro
