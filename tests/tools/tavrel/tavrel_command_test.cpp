// The tavrel command as a person uses it: output line, messages, exit codes,
// what it does with files in other layouts or formats, and what it leaves in
// the destination's folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <set>
#include <string>
#include <thread>

#include "commands.h"
#include "riff_images.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;
using namespace riff_images;

CommandResult RunTavrel(const std::string& arguments) {
  return RunCommand(std::string(TAVREL_COMMAND) + " " + arguments + " 2>&1");
}

class TavrelCommand : public ::testing::Test {
 protected:
  void SetUp() override { WriteWholeFile(in_, MakeWav({1, 8000, 16, 0}, Ramp16(16000))); }

  std::set<fs::path> Entries() const { return FileNamesIn(folder_.path()); }
  bool HasTemporaryFiles() const {
    const std::set<fs::path> names = Entries();
    return std::any_of(names.begin(), names.end(), [](const fs::path& name) {
      return name.string().rfind(".tavrel-", 0) == 0;
    });
  }
  // A command line run by /bin/sh, with temporary files for standard
  // output in folder_.
  CommandResult RunInShell(const std::string& commandLine) {
    return RunCommand("export TMPDIR=" + Quoted(folder_.path()) + "; " + commandLine + " 2>&1");
  }
  // The file a canonical source gives at 150, from a regular file.
  Bytes Reference() {
    const std::string reference = (folder_ / "reference.wav").string();
    EXPECT_EQ(RunTavrel(in_ + " " + reference + " 150").exitCode, 0);
    Bytes bytes = ReadWholeFile(reference);
    fs::remove(reference);
    return bytes;
  }

  ScratchFolder folder_;
  std::string in_ = (folder_ / "in.wav").string();
  std::string out_ = (folder_ / "out.wav").string();
  // The samples of in_, as ffmpeg lays them out by default: a LIST chunk
  // before the data.
  std::string listed_ = (folder_ / "listed.wav").string();
  const Bytes listedImage_ =
      RiffFile({Chunk("fmt ", FormatBody(1, 1, 8000, 16)), Chunk("LIST", Bytes(26, 'i')),
                Chunk("data", Ramp16(16000))});
};

TEST_F(TavrelCommand, DescribesInputAndOutputOnSuccess) {
  const CommandResult outcome = RunTavrel(in_ + " " + out_ + " 150");
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_NE(outcome.output.find("8000 Hz, 1 ch, 16 bit, 16000 frames, 2.000 s"), std::string::npos)
      << outcome.output;
  EXPECT_NE(outcome.output.find("12000 Hz, 1 ch, 16 bit, 10656 frames, 0.888 s"), std::string::npos)
      << outcome.output;
}

TEST_F(TavrelCommand, ExplainsEachFailureAndExitsNonZero) {
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {in_ + " " + out_ + " 0", "the speed must be at least 1 percent"},
      {(folder_ / "missing.wav").string() + " " + out_ + " 100", "the source cannot be opened"},
      {folder_.path().string() + " " + out_ + " 100", "the source cannot be opened"},
      {in_ + " " + in_ + " 100", "it is the source itself"},
      {in_ + " /dev/full 100", "is the disk full?"},
      // No temporary file can be made beside it.
      {in_ + " " + (folder_ / "missing" / "out.wav").string() + " 100",
       "UTF-16 (No such file or directory); '" + folder_.path().string() +
           "/missing/out.wav' is as it was"},
  };
  for (const Case& c : cases) {
    const CommandResult outcome = RunTavrel(c.arguments);
    EXPECT_EQ(outcome.exitCode, 1) << c.arguments;
    EXPECT_NE(outcome.output.find(c.message), std::string::npos) << outcome.output;
  }
  EXPECT_EQ(ReadWholeFile(in_), MakeWav({1, 8000, 16, 0}, Ramp16(16000)));
}

TEST_F(TavrelCommand, CopiesTheSamplesOfAnotherLayoutAndSaysSo) {
  WriteWholeFile(listed_, listedImage_);
  const CommandResult outcome = RunTavrel(listed_ + " " + out_ + " 150");
  EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
  EXPECT_NE(outcome.output.find("listed.wav: read 'data' past a LIST chunk\n"), std::string::npos)
      << outcome.output;
  // The frames of the data chunk, not of everything after byte 44.
  EXPECT_NE(outcome.output.find("8000 Hz, 1 ch, 16 bit, 16000 frames, 2.000 s -> "),
            std::string::npos)
      << outcome.output;
  const std::string reference = (folder_ / "reference.wav").string();
  ASSERT_EQ(RunTavrel(in_ + " " + reference + " 150").exitCode, 0);
  EXPECT_EQ(ReadWholeFile(out_), ReadWholeFile(reference));
  EXPECT_EQ(Entries(), (std::set<fs::path>{"in.wav", "listed.wav", "out.wav", "reference.wav"}));
}

TEST_F(TavrelCommand, RefusesWhatItCannotComputeAndLeavesTheDestinationAlone) {
  Bytes floats = MakeWav({1, 8000, 32, 0}, Bytes(4000));
  floats[20] = 3;  // WAVE_FORMAT_IEEE_FLOAT
  Bytes alaw = MakeWav({1, 8000, 8, 0}, Bytes(1000));
  alaw[20] = 6;
  const struct {
    Bytes source;
    std::string message;
  } cases[] = {
      {floats, "'" + in_ + "' holds 32-bit float samples"},
      {alaw, "'" + in_ + "' holds A-law audio"},
      {Bytes{'f', 'L', 'a', 'C', 0, 0, 0, 34, 1, 2, 3, 4}, "'" + in_ + "' is a FLAC file"},
  };
  const Bytes kept = {'k', 'e', 'e', 'p'};
  for (const auto& c : cases) {
    WriteWholeFile(in_, c.source);
    for (const bool destinationExists : {false, true}) {
      fs::remove(out_);
      if (destinationExists) {
        WriteWholeFile(out_, kept);
      }
      const CommandResult outcome = RunTavrel(in_ + " " + out_ + " 150");
      EXPECT_EQ(outcome.exitCode, 1);
      EXPECT_NE(outcome.output.find(c.message), std::string::npos) << outcome.output;
      EXPECT_NE(outcome.output.find("convert it first, e.g.: ffmpeg -i '" + in_ + "' -c:a pcm_s"),
                std::string::npos)
          << outcome.output;
      EXPECT_EQ(ReadFileIfExists(out_),
                destinationExists ? std::optional<Bytes>(kept) : std::nullopt);
      EXPECT_EQ(Entries().size(), destinationExists ? 2u : 1u);
    }
  }
}

TEST_F(TavrelCommand, AsIsHandsTheSourceToTheLibraryUntouched) {
  WriteWholeFile(listed_, listedImage_);
  const CommandResult listed = RunTavrel("--as-is " + listed_ + " " + out_ + " 100");
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_NE(listed.output.find("warning: '" + listed_ +
                               "' is not a plain 44-byte integer PCM WAV "
                               "file (its 'data' chunk is past a LIST chunk); with --as-is the "
                               "result will not be a valid WAV file"),
            std::string::npos)
      << listed.output;
  // At 100 the library copies every byte after its 44-byte header: the LIST
  // chunk's header is still at byte 36.
  const Bytes output = ReadWholeFile(out_);
  ASSERT_EQ(output.size(), listedImage_.size());
  EXPECT_TRUE(std::equal(output.begin() + 36, output.begin() + 40, "LIST"));
  EXPECT_TRUE(std::equal(output.begin() + 44, output.end(), listedImage_.begin() + 44));

  const CommandResult canonical = RunTavrel("--as-is " + in_ + " " + out_ + " 100");
  EXPECT_EQ(canonical.exitCode, 0);
  EXPECT_EQ(canonical.output.find("warning"), std::string::npos) << canonical.output;
}

TEST_F(TavrelCommand, LeavesNothingBehindWhenTheCopyCannotBeMade) {
  WriteWholeFile(listed_, RiffFile({Chunk("fmt ", FormatBody(1, 2, 8000, 16)),
                                    Chunk("LIST", Bytes(26, 'i')), Chunk("data", Ramp16(100000))}));
  const CommandResult noFolder =
      RunTavrel(listed_ + " " + (folder_ / "missing" / "out.wav").string() + " 150");
  EXPECT_EQ(noFolder.exitCode, 1);
  EXPECT_NE(noFolder.output.find("the destination cannot be created: its folder is missing"),
            std::string::npos)
      << noFolder.output;

  const CommandResult itself = RunTavrel(listed_ + " " + listed_ + " 150");
  EXPECT_EQ(itself.exitCode, 1);
  EXPECT_NE(itself.output.find("it is the source itself"), std::string::npos) << itself.output;
  EXPECT_EQ(fs::file_size(listed_), 200000u + 12u + 24u + 34u + 8u);

  // A file size limit of 50 KiB stops the copy's writes (SIGXFSZ ignored,
  // so that they fail instead of ending the process).
  const CommandResult tooLarge =
      RunCommand("trap '' XFSZ; ulimit -f 100; " + std::string(TAVREL_COMMAND) + " " + listed_ +
                 " " + out_ + " 150 2>&1");
  EXPECT_EQ(tooLarge.exitCode, 1);
  EXPECT_NE(
      tooLarge.output.find("cannot copy the samples to '" + folder_.path().string() + "/.tavrel-"),
      std::string::npos)
      << tooLarge.output;
  EXPECT_NE(tooLarge.output.find("writing the copy failed: File too large"), std::string::npos)
      << tooLarge.output;
  EXPECT_EQ(Entries(), (std::set<fs::path>{"in.wav", "listed.wav"}));
}

TEST_F(TavrelCommand, RemovesItsTemporaryFilesWhenInterruptedTerminatedOrCutOff) {
  WriteWholeFile(listed_, listedImage_);
  // Standard error is a pipe that is already full: the command stops at the
  // line it prints once the copy is made. Standard output likewise, as it
  // writes the new file there (from a temporary file in TMPDIR). The
  // signal, or the reader going away, ends it there.
  for (const bool toStandardOutput : {false, true}) {
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) {
      if (signal == SIGPIPE && !toStandardOutput) {
        continue;
      }
      int channel[2];
      ASSERT_EQ(::pipe(channel), 0);
      ::fcntl(channel[1], F_SETFL, O_NONBLOCK);
      const char filler[512] = {};
      while (::write(channel[1], filler, sizeof filler) > 0) {
      }
      ::fcntl(channel[1], F_SETFL, 0);
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        ::close(channel[0]);
        ::dup2(channel[1], toStandardOutput ? STDOUT_FILENO : STDERR_FILENO);
        ::setenv("TMPDIR", folder_.path().c_str(), 1);
        ::execl(TAVREL_COMMAND, "tavrel", toStandardOutput ? in_.c_str() : listed_.c_str(),
                toStandardOutput ? "-" : out_.c_str(), "150", nullptr);
        ::_exit(127);
      }
      ::close(channel[1]);
      for (int wait = 0; wait < 1000 && !HasTemporaryFiles(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      EXPECT_TRUE(HasTemporaryFiles());
      std::this_thread::sleep_for(std::chrono::milliseconds(100));  // until it blocks
      if (signal == SIGPIPE) {
        ::close(channel[0]);
      } else {
        ::kill(child, signal);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      ::close(channel[0]);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
      EXPECT_EQ(Entries(), (std::set<fs::path>{"in.wav", "listed.wav"}));
    }
  }
}

// A source that is not a regular file is read as a stream, and refused when
// it is no WAV file before the destination is touched: no read waits for a
// FIFO's writer, and /dev/zero is not read for ever.
TEST_F(TavrelCommand, StreamsThatAreNoWavFileAreRefusedBeforeTheDestinationIsTouched) {
  const std::string fifo = (folder_ / "fifo.wav").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string input;  // a shell redirection or pipe into the command
    std::string source;
    std::string what;
  } cases[] = {
      {"", fifo, "is an empty file"},  // no writer
      {"", "/dev/zero", "is not a RIFF/WAVE file"},
      {"</dev/null", "-", "is an empty file"},
      {"printf 'RIFF\\0\\0\\0\\0WAV' |", "-", "is not a RIFF/WAVE file"},
      {"printf 'RIFF\\0\\0\\0\\0WAVEjunk' |", "-", "is a WAV file without a 'fmt ' chunk"},
  };
  for (const auto& c : cases) {
    WriteWholeFile(out_, Bytes{'k', 'e', 'e', 'p'});
    const CommandResult outcome = RunInShell(c.input + " timeout 10 " + TAVREL_COMMAND + " " +
                                             c.source + " " + out_ + " 150");
    EXPECT_EQ(outcome.exitCode, 1) << outcome.output;
    EXPECT_NE(outcome.output.find("'" + c.source + "' " + c.what), std::string::npos)
        << outcome.output;
    EXPECT_EQ(ReadWholeFile(out_), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(HasTemporaryFiles());
  }
}

// A refused or failed run leaves an existing destination as it was, and no
// temporary file: every step that can fail is made to fail where it
// happens.
TEST_F(TavrelCommand, EachFailingStepLeavesTheDestinationAsItWas) {
  const std::string narrow = (folder_ / "narrow.wav").string();
  WriteWholeFile(narrow, MakeWav({2, 8000, 16, 2}, Ramp16(100)));
  const std::string large = (folder_ / "large.wav").string();
  WriteWholeFile(large, MakeWav({1, 8000, 16, 0}, Ramp16(100000)));
  // SIGXFSZ ignored, so that writes past the size limit fail instead of
  // ending the process.
  const std::string sizeLimit = "trap '' XFSZ; ulimit -f 100;";
  const std::string kept = "; '" + out_ + "' is as it was";
  const struct {
    std::string input;  // redirections, a pipe or limits before the command
    std::string arguments;
    std::string message;
    std::string call = "";  // system calls that strace makes fail (on `file` when given)
    std::string injection = "";
    std::string file = "";
  } cases[] = {
      {"", narrow + " " + out_ + " 50", "or a rate of 0 Hz)" + kept},
      {sizeLimit, large + " " + out_ + " 50", "(is the disk full?)" + kept},
      {"cat " + large + " | (" + sizeLimit, "- " + out_ + " 50)",
       "cannot save the source to '" + folder_.path().string() + "/.tavrel-"},
      {"<" + in_, "- " + out_ + " 150", "reading the source failed: Input/output error", "read",
       "error=EIO", in_},
      {"", in_ + " " + out_ + " 150", "permissions: Operation not permitted" + kept,
       "?chmod,fchmodat", "error=EPERM"},
      {"", in_ + " " + out_ + " 150", "Invalid cross-device link" + kept,
       "?rename,?renameat,renameat2", "error=EXDEV"},
      {"(", in_ + " - 150 >/dev/full)", "writing to standard output failed: No space left on device"},
  };
  for (const auto& c : cases) {
    WriteWholeFile(out_, Bytes{'k', 'e', 'e', 'p'});
    std::string command = std::string(TAVREL_COMMAND) + " " + c.arguments;
    if (!c.call.empty()) {
      SKIP_WITHOUT_COMMAND("strace");
      command = WithFaultInjected(command, c.call, c.injection, c.file);
    }
    const CommandResult outcome = RunInShell(c.input + " " + command);
    EXPECT_EQ(outcome.exitCode, 1) << command << ": " << outcome.output;
    EXPECT_NE(outcome.output.find(c.message), std::string::npos) << outcome.output;
    EXPECT_EQ(ReadWholeFile(out_), (Bytes{'k', 'e', 'e', 'p'})) << command;
    EXPECT_FALSE(HasTemporaryFiles()) << command;
  }
}

// A complete file replaces a regular destination with the old permission
// bits (a new one gets what the umask leaves), through symbolic links, which
// stay; a FIFO is written as it is, and "-" is standard output. The summary
// never goes to standard output.
TEST_F(TavrelCommand, TheNewFileReachesTheDestinationWhateverItIs) {
  const Bytes expected = Reference();
  const std::string linked = (folder_ / "linked.wav").string();
  const std::string created = (folder_ / "created.wav").string();
  const std::string fifo = (folder_ / "fifo.wav").string();
  WriteWholeFile(out_, Bytes{'k', 'e', 'e', 'p'});
  fs::permissions(out_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("out.wav", linked);
  EXPECT_EQ(RunCommand("umask 027; " + std::string(TAVREL_COMMAND) + " " + in_ + " " + created +
                       " 100 >/dev/null 2>&1; " + TAVREL_COMMAND + " " + in_ + " " + linked +
                       " 150 2>/dev/null")
                .output,
            "");
  EXPECT_EQ(ReadWholeFile(out_), expected);
  EXPECT_TRUE(fs::is_symlink(linked));
  EXPECT_EQ(fs::status(out_).permissions(), fs::perms(0640));
  EXPECT_EQ(fs::status(created).permissions(), fs::perms(0640));

  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // the file fits the pipe
  ASSERT_GE(reader, 0);
  EXPECT_EQ(RunTavrel(in_ + " " + fifo + " 150").exitCode, 0);
  Bytes received(expected.size() + 1);
  EXPECT_EQ(::read(reader, received.data(), received.size()), static_cast<ssize_t>(expected.size()));
  ::close(reader);
  received.pop_back();
  EXPECT_EQ(received, expected);

  // /dev/stdout leads to the file the shell opened: written as it is.
  const std::string opened = (folder_ / "opened.wav").string();
  EXPECT_EQ(RunCommand(std::string(TAVREL_COMMAND) + " " + in_ + " /dev/stdout 150 2>/dev/null >" +
                       opened)
                .exitCode,
            0);
  EXPECT_EQ(ReadWholeFile(opened), expected);
  // Even once removed: its link reads "opened.wav (deleted)", a name for no file.
  EXPECT_EQ(RunCommand("(rm " + opened + "; " + TAVREL_COMMAND + " " + in_ +
                       " /dev/stdout 150 2>/dev/null) >" + opened)
                .exitCode,
            0);
  EXPECT_FALSE(fs::exists(opened + " (deleted)"));

  // Standard output a pipe: the file and nothing else goes through it.
  const std::string piped = (folder_ / "piped.wav").string();
  EXPECT_EQ(RunTavrel(in_ + " - 150 | cat >" + piped).exitCode, 0);
  EXPECT_EQ(ReadWholeFile(piped), expected);
}

// A pipe, standard input or a FIFO with a writer gives what the same file
// gives, in the plain layout or another.
TEST_F(TavrelCommand, AStreamSourceGivesWhatItsFileGives) {
  const Bytes expected = Reference();
  WriteWholeFile(listed_, listedImage_);
  const std::string fifo = (folder_ / "fifo.wav").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& file : {in_, listed_}) {
    for (const std::string& source : {std::string("-"), std::string("/dev/stdin"), fifo}) {
      fs::remove(out_);
      int writer = -1;
      const int idleReader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
      if (source == fifo) {
        // The whole file waits in the FIFO, whose writer has come and gone.
        const Bytes bytes = ReadWholeFile(file);
        writer = ::open(fifo.c_str(), O_WRONLY);
        ASSERT_EQ(::write(writer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(writer);
      }
      const CommandResult outcome =
          RunInShell((source == fifo ? "" : "cat " + file + " | ") + TAVREL_COMMAND + " " + source +
                     " " + out_ + " 150");
      ::close(idleReader);
      EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
      EXPECT_EQ(ReadFileIfExists(out_), std::optional<Bytes>(expected)) << file << " from " << source;
      EXPECT_FALSE(HasTemporaryFiles());
    }
  }
}

TEST_F(TavrelCommand, KeepPitchChangesTheTempoThroughTheSamePaths) {
  // The rate stays, the length follows the tempo, and the summary says how
  // much longer or shorter the result plays.
  const struct {
    const char* speed;
    const char* result;
  } cases[] = {{"150", "8000 Hz, 1 ch, 16 bit, 10666 frames, 1.333 s (tempo 150%, pitch kept: "
                       "plays 33.3% shorter)"},
               {"50", "8000 Hz, 1 ch, 16 bit, 32000 frames, 4.000 s (tempo 50%, pitch kept: "
                      "plays 100.0% longer)"},
               {"100", "16000 frames, 2.000 s (tempo 100%, pitch kept: plays as long)"}};
  for (const auto& c : cases) {
    const CommandResult outcome = RunTavrel("--keep-pitch " + in_ + " " + out_ + " " + c.speed);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
    EXPECT_NE(outcome.output.find(c.result), std::string::npos) << outcome.output;
  }
  // Another layout, a pipe and standard output give the library's own file.
  const std::string direct = (folder_ / "direct.wav").string();
  ASSERT_EQ(RunTavrel("--keep-pitch " + in_ + " " + direct + " 75").exitCode, 0);
  WriteWholeFile(listed_, listedImage_);
  const CommandResult piped =
      RunInShell("{ cat " + listed_ + " | " + TAVREL_COMMAND + " --keep-pitch - - 75 > " + out_ + "; }");
  EXPECT_EQ(piped.exitCode, 0) << piped.output;
  EXPECT_EQ(ReadWholeFile(out_), ReadWholeFile(direct));
  // Samples the tempo change cannot compute are refused before DEST is
  // touched, as the speed effect refuses them below 100; at 100 they are
  // copied.
  WriteWholeFile(in_, MakeWav({1, 8000, 12, 2}, Ramp16(100)));
  const CommandResult refused = RunTavrel("--keep-pitch " + in_ + " " + out_ + " 150");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("holds 12-bit integer samples: the tempo effect computes"),
            std::string::npos)
      << refused.output;
  EXPECT_EQ(ReadWholeFile(out_), ReadWholeFile(direct));
  EXPECT_EQ(RunTavrel("--keep-pitch " + in_ + " " + out_ + " 100").exitCode, 0);
}

TEST_F(TavrelCommand, RejectsBadUsageWithExitCodeTwo) {
  EXPECT_EQ(RunTavrel(in_ + " " + out_).exitCode, 2);
  EXPECT_EQ(RunTavrel(in_ + " " + out_ + " fast").exitCode, 2);
  EXPECT_EQ(RunTavrel("\"$(printf '\\377.wav')\" " + out_ + " 100").exitCode, 2);  // not UTF-8
}

TEST_F(TavrelCommand, PrintsVersionAndHelp) {
  const CommandResult version = RunTavrel("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_NE(version.output.find("1.0.0.1"), std::string::npos);
  const CommandResult help = RunTavrel("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("SOURCE DEST SPEED"), std::string::npos);
}

}  // namespace
