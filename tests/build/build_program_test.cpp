// The build as a program: delegation to a child build, the build server over its pipe,
// the lock between processes, kills at random moments, and the written database
// against find(1) and the build log.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/env.h"
#include "platform/pipe.h"
#include "platform/volume.h"
#include "scan/start_build.h"
#include "tests/build/build_test_support.h"
#include "util/utf.h"

namespace nusk {
namespace {

using testing::BuildFixture;

class CollectingStatus : public IStatusInfoListener {
 public:
  void OnStatusInfo(std::u16string_view source, std::string_view text) override {
    EXPECT_EQ(source, u"BUILD");
    lines.emplace_back(text);
  }
  bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  std::vector<std::string> lines;
};

// A build of drive D (a fixture holding "x.txt") relayed its start and end; the file is indexed.
void ExpectBuiltD(const CollectingStatus& status, BuildFixture& f) {
  EXPECT_TRUE(status.Has("Building nusk for drive D ...")) << ::testing::PrintToString(status.lines);
  EXPECT_TRUE(status.Has("Drive D build done. (0s)"));
  EXPECT_EQ(f.Items().count(u"D:\\x.txt"), 1u);
}

TEST(StartBuildTest, CommandLinesAndStatusForwarding) {
  EXPECT_EQ(MakeBuildCommandLine(u"C:\\p\\nusk.exe", u"C:\\h\\", u'Z'),
            u"\"C:\\p\\nusk.exe\" build --dbdir \"C:\\h\\\\\" --delegate Z");
  EXPECT_EQ(MakeBuildCommandLine(u"/usr/bin/nusk", u"/h", 0), u"\"/usr/bin/nusk\" build --dbdir \"/h\" --delegate");
  EXPECT_EQ(MakeBuildServerParameters(u"C:\\h\\", 0), u"build_server --dbdir \"C:\\h\\\\\" --delegate");

  CollectingStatus status;
  ForwardStatusText(&status, "first\r\nx\n\nsecond line\n", 0);
  EXPECT_EQ(status.lines, (std::vector<std::string>{"first", "second line"}));
}

TEST(StartBuildTest, ChildBuildRelaysItsStatusLines) {
  BuildFixture f;
  DriveSystem drives(DriveMap::Native(), Volumes::Default(), Env::Default());
  StartBuildContext context{&drives, f.home().path(), BuildFixture::Program()};
  // A drive that does not exist: the child's failure and its reason reach the asker.
  CollectingStatus failed;
  EXPECT_FALSE(RunBuildChild(&failed, u'Y', context));
  EXPECT_TRUE(failed.Has("Error getting drive serial number: Y, build canceled."))
      << ::testing::PrintToString(failed.lines);
  if (!testing::FixtureDrivesSupported()) return;
  f.MapDrive(u'D', u"d");
  f.drives().WriteFile(u"d/x.txt", "x");
  CollectingStatus status;
  ASSERT_TRUE(RunBuildChild(&status, 0, context));
  ExpectBuiltD(status, f);
}

// The earlier build service answers a request for all drives. With no network drive
// selected nothing else is started, and the request counts as done: it must not lead to
// an elevation prompt and a second build.
TEST(StartBuildTest, EarlierServiceBuildNeedsNoChildWithoutASelectedNetworkDrive) {
  BuildFixture f;
  DriveSystem drives(DriveMap::Native(), Volumes::Default(), Env::Default());
  StartBuildContext context{&drives, f.home().path(), u"/nonexistent/nusk"};
  std::string request;
  std::thread service([&request] {
    std::unique_ptr<MessagePipe> pipe;
    ASSERT_TRUE(MessagePipe::Serve(kEarlierServicePipe, 20000, &pipe).ok());
    ASSERT_EQ(pipe->ReadPiece(4096, &request), MessagePipe::ReadResult::kPiece);
    ASSERT_TRUE(pipe->WriteMessage(std::string("Built by the service\n", 21) + '\0'));
    ASSERT_TRUE(pipe->WriteMessage(""));
  });
  bool asked = false;
  CollectingStatus status;
  for (int attempt = 0; attempt < 100 && !asked; ++attempt) {
    asked = AskBuildService(&status, kEarlierServicePipe, 0, context);
    if (!asked) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  service.join();
  EXPECT_TRUE(asked) << ::testing::PrintToString(status.lines);
  EXPECT_TRUE(status.Has("Built by the service"));
  EXPECT_FALSE(status.Has("Failed to create build process")) << "no network drive is selected";
  std::string line;  // the request is UTF-16LE; its text here is ASCII
  for (size_t i = 0; i < request.size(); i += 2) line.push_back(request[i]);
  EXPECT_NE(line.find("build --dbdir"), std::string::npos) << line;
}

TEST(BuildServerTest, ServesOneClientOverThePipe) {
  // The server's pipe has one machine-wide name: no other test's server may answer here.
  const testing::MachineWideTestLock pipe_lock(u"build_server_pipe");
  ASSERT_TRUE(pipe_lock.held());
  BuildFixture f;
  bool drives = testing::FixtureDrivesSupported();
  // Where fixture drives cannot be made, a missing drive still gives a whole conversation.
  char16_t letter = drives ? u'D' : u'Y';
  if (drives) {
    f.MapDrive(u'D', u"d");
    f.drives().WriteFile(u"d/x.txt", "x");
  }
  std::unique_ptr<ChildProcess> server;
  ASSERT_TRUE(ChildProcess::Start(
                  BuildFixture::Program(),
                  {u"build_server", u"--dbdir", f.home().path(), u"--delegate", std::u16string(1, letter)}, {}, &server)
                  .ok());
  std::unique_ptr<MessagePipe> pipe;
  for (int attempt = 0; attempt < 100 && !pipe; ++attempt) {
    if (!MessagePipe::Connect(kBuildServerPipe, 4000, &pipe).ok()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  ASSERT_TRUE(pipe) << "the server never opened its pipe";
  CollectingStatus status;
  RelayServerStatus(&status, pipe.get());
  int exit_code = -1;
  ASSERT_TRUE(server->Wait(60000, &exit_code));
  if (drives) {
    EXPECT_EQ(exit_code, 0) << server->Stdout() << server->Stderr();
    return ExpectBuiltD(status, f);
  }
  EXPECT_EQ(exit_code, kExitDriveFailed);
  EXPECT_TRUE(status.Has("Building nusk for drive Y ...")) << ::testing::PrintToString(status.lines);
  EXPECT_TRUE(status.Has("Error getting drive serial number: Y, build canceled."));
  EXPECT_EQ(server->Stdout(), "") << "status lines go to the pipe, not the console";
}

// The lock is held by this process; the program refuses at once. With fixture drives, an
// earlier index stays as it was, another home folder builds, and the released lock lets
// the next build in.
TEST(BuildProgramTest, HeldLockRefusesAtOnceAndLeavesTheIndexAlone) {
  BuildFixture f;
  const bool drives = testing::FixtureDrivesSupported();
  f.MapDrive(u'D', u"d");
  if (drives) {
    f.drives().WriteFile(u"d/one.txt", "1");
    ASSERT_EQ(f.RunInProcess({}), 0);
    f.drives().WriteFile(u"d/two.txt", "2");
  }
  const std::string before = f.HomeFile(u"nusk.frs");
  auto held = Env::Default()->CreateFolderLock(f.home().path(), kBuildLockTag);
  bool taken = false;
  ASSERT_TRUE(held->TryLock(&taken).ok());
  ASSERT_TRUE(taken);
  ChildResult r = f.RunProgram({});
  EXPECT_EQ(r.exit_code, kExitLockHeld);
  EXPECT_NE(r.out.find("A previous build command is still running. \nOperation canceled."), std::string::npos) << r.out;
  EXPECT_EQ(f.HomeFile(u"nusk.frs"), before);
  EXPECT_EQ(Env::Default()->FileExists(f.home().path() + u"nusk.frs"), drives);
  if (!drives) return;

  BuildFixture other;
  other.MapDrive(u'D', u"d");
  EXPECT_EQ(other.RunInProcess({}), 0);
  held->Unlock();
  EXPECT_EQ(f.RunInProcess({}), 0);
  EXPECT_EQ(f.Items().count(u"D:\\two.txt"), 1u);
}

#ifndef _WIN32
// Builds started together under different spellings of one home folder ("./", "//", a
// link to it) meet one lock: each either builds or is refused, and the written database
// holds the whole tree every round, with no damaged file set aside.
TEST(BuildProgramTest, ConcurrentBuildsUnderAnySpellingOfTheHomeMeetOneLock) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  std::set<std::u16string> tree = {u"D:"};
  for (int i = 0; i < 400; ++i) {
    std::string folder = "f" + std::to_string(i % 20), file = folder + "/file" + std::to_string(i) + ".txt";
    f.drives().WriteFile(U16("d/" + file), "x");
    tree.insert(U16("D:\\" + folder));
    tree.insert(U16("D:\\" + folder + "\\file" + std::to_string(i) + ".txt"));
  }
  const std::u16string home = f.home().path();  // ends with '/'
  const std::u16string bare = home.substr(0, home.size() - 1);
  const std::u16string link = f.drives().Sub(u"home-link");
  ASSERT_EQ(::symlink(ToUtf8(bare).c_str(), ToUtf8(link).c_str()), 0);
  const size_t cut = bare.rfind(u'/');
  const std::vector<std::u16string> spellings = {home, bare.substr(0, cut) + u"/." + bare.substr(cut), u"/" + bare,
                                                 link};
  for (int processes : {2, 3}) {
    for (int round = 0; round < 10; ++round) {
      SCOPED_TRACE(std::to_string(processes) + " builds, round " + std::to_string(round));
      if (round % 2 == 0) {  // half the rounds start from no database at all
        Env::Default()->RemoveFile(home + u"nusk.frs");
        Env::Default()->RemoveFile(home + u"nusk.nrs");
      }
      std::vector<std::unique_ptr<ChildProcess>> children(processes);
      for (int i = 0; i < processes; ++i) {
        std::vector<std::u16string> args = {u"build", u"--dbdir", spellings[(round + i) % spellings.size()]};
        ASSERT_TRUE(ChildProcess::Start(BuildFixture::Program(), args, {}, &children[i]).ok());
      }
      int built = 0;
      for (auto& child : children) {
        int code = -1;
        ASSERT_TRUE(child->Wait(60000, &code));
        EXPECT_TRUE(code == 0 || code == kExitLockHeld) << code << child->Stdout() << child->Stderr();
        built += code == 0;
      }
      EXPECT_GE(built, 1);
      std::set<std::u16string> found;
      for (const auto& [path, item] : f.Items()) found.insert(path);
      EXPECT_EQ(found, tree);
      Env::Default()->ListFolder(home, [](const DirEntry& e) {
        EXPECT_EQ(e.name.find(u".bad"), std::u16string::npos) << ToUtf8(e.name);
        return true;
      });
    }
  }
}
#endif

TEST(BuildProgramTest, KillAtRandomMomentsNeverLeavesAnUnloadableDatabase) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  for (int i = 0; i < 300; ++i) {
    f.drives().WriteFile(U16("d/f" + std::to_string(i % 30) + "/file" + std::to_string(i) + ".txt"), "x");
  }
  // How long one whole build takes here, to spread the kills over it.
  auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(f.RunProgram({}).exit_code, 0);
  int whole_ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> delay(0, std::max(whole_ms, 5));
  for (int attempt = 0; attempt < 20; ++attempt) {
    f.drives().WriteFile(U16("d/new" + std::to_string(attempt) + ".txt"), "n");
    std::unique_ptr<ChildProcess> child;
    ASSERT_TRUE(ChildProcess::Start(BuildFixture::Program(), f.ProgramArgs({}), {}, &child).ok());
    std::this_thread::sleep_for(std::chrono::milliseconds(delay(rng)));
    child.reset();  // killed outright when still running
    auto w = f.Writer();
    ASSERT_TRUE(w) << "attempt " << attempt;
    EXPECT_TRUE(w->damage().empty()) << "attempt " << attempt << ": " << w->damage();
    EXPECT_GE(w->item_count(), 300u + 30u + 1u) << "attempt " << attempt << ": an earlier complete index was lost";
  }
}

// The program's database holds each item of the drive with its size; the log names each
// step in order, and the drive is stamped as built.
TEST(BuildProgramTest, DatabaseHoldsTheDriveAndTheLogNamesEachStep) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  f.drives().WriteFile(u"d/a/b/c.txt", "hello");
  f.drives().WriteFile(u"d/a/big.bin", std::string(100000, 'b'));
  f.drives().WriteFile(u"d/Mixed Case/Ünïcode.TXT", "u");
  f.drives().WriteFile(u"d/.dot/file", "");
  ChildResult r = f.RunProgram({});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  std::map<std::u16string, std::pair<bool, uint32_t>> held;  // folder, size
  for (const auto& [path, item] : f.Items()) held[path] = {item.folder, item.folder ? 0 : item.size};
  EXPECT_EQ(held, (std::map<std::u16string, std::pair<bool, uint32_t>>{{u"D:", {true, 0}},
                                                                       {u"D:\\a", {true, 0}},
                                                                       {u"D:\\a\\b", {true, 0}},
                                                                       {u"D:\\a\\b\\c.txt", {false, 5}},
                                                                       {u"D:\\a\\big.bin", {false, 100000}},
                                                                       {u"D:\\Mixed Case", {true, 0}},
                                                                       {u"D:\\Mixed Case\\Ünïcode.TXT", {false, 1}},
                                                                       {u"D:\\.dot", {true, 0}},
                                                                       {u"D:\\.dot\\file", {false, 0}}}));

  testing::ExpectInOrder(f.ReadLog(),
                         {"Opening the database..", "Database opened.", "Building drive D", "(Non-NTFS Mode)",
                          "Deleting all records for drive D", "Performing full scan..", "Recorded 4 folders, 4 files.",
                          "Drive build done (", "Writing database..", "Database written."});
  auto w = f.Writer();
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->drive_state(3).built);
  EXPECT_NE(w->drive_state(3).serial, 0u);
  EXPECT_NE(w->drive_state(3).last_build, 0u);
  EXPECT_NE(w->last_full_build(), 0u);
}

}  // namespace
}  // namespace nusk
