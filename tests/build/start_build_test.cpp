// How a build is delegated: an unprivileged asker without a build service starts the
// build server (elevation injected: Wine always runs elevated, POSIX has no prompt) and
// relays it; a declined elevation fails without a server; EndRelayedChild reaches the
// child build and the published server while their status is relayed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "index/db_files.h"
#include "platform/elevation.h"
#include "platform/env.h"
#include "platform/pipe.h"
#include "platform/process.h"
#include "platform/process_relay.h"
#include "platform/volume.h"
#include "scan/start_build.h"
#include "tests/build/build_test_support.h"
#include "util/utf.h"

namespace nusk {
namespace {

using testing::BuildFixture;

// The build server started as a plain child in place of the elevation prompt. Terminate
// records the request and interrupts the child.
// The asker owns (and drops) its ElevatedProcess; the test keeps the child to wait for it.
class ChildServer : public ElevatedProcess {
 public:
  explicit ChildServer(std::shared_ptr<ChildProcess> child) : child_(std::move(child)) {}
  bool Wait(uint32_t timeout_ms) override {
    int code = -1;
    return child_->Wait(timeout_ms, &code);
  }
  void Terminate(int code) override {
    terminated_with = code;
    child_->Interrupt();
  }
  static inline std::atomic<int> terminated_with{0};

 private:
  std::shared_ptr<ChildProcess> child_;
};

// Calls `on_first` once, on the first status line.
class FirstLineListener : public IStatusInfoListener {
 public:
  explicit FirstLineListener(std::function<void()> on_first = nullptr) : on_first_(std::move(on_first)) {}
  void OnStatusInfo(std::u16string_view, std::string_view text) override {
    lines.emplace_back(text);
    if (on_first_ && lines.size() == 1) on_first_();
  }
  std::vector<std::string> lines;

 private:
  std::function<void()> on_first_;
};

struct Delegation {
  BuildFixture f;
  DriveSystem drives{DriveMap::Native(), Volumes::Default(), Env::Default()};
  StartBuildContext context{&drives, f.home().path(), BuildFixture::Program()};
  int starts = 0;
  std::u16string parameters;
  std::shared_ptr<ChildProcess> server;
  bool ServerEnded() {
    int code = -1;
    return server && server->Wait(60000, &code);
  }

  explicit Delegation(bool elevation_accepted) {
    context.is_admin = [] { return false; };
    context.start_elevated = [this, elevation_accepted](const std::u16string& program, const std::u16string& params,
                                                        std::unique_ptr<ElevatedProcess>* out) {
      ++starts;
      parameters = params;
      if (!elevation_accepted) return Status::Error("the user declined");
      std::vector<std::u16string> args = {u"build_server", u"--dbdir", f.home().path(), u"--delegate"};
      if (params.back() != u'e') args.push_back(params.substr(params.size() - 1));  // a drive letter
      std::unique_ptr<ChildProcess> child;
      ChildOptions options;
      options.interruptible = true;
      Status s = ChildProcess::Start(program, args, options, &child);
      if (!s.ok()) return s;
      server = std::move(child);
      *out = std::make_unique<ChildServer>(server);
      return Status::Ok();
    };
  }
};

TEST(DelegationTest, UnprivilegedAskerWithoutServiceRelaysTheServerOrFailsWhenDeclined) {
  // The server's pipe has one machine-wide name: no other test's server may answer here.
  const testing::MachineWideTestLock pipe_lock(u"build_server_pipe");
  ASSERT_TRUE(pipe_lock.held());
  {
    Delegation d(false);
    FirstLineListener status;
    EXPECT_FALSE(StartBuild(&status, 0, d.context));
    EXPECT_EQ(d.starts, 1) << "no service answers, so elevation is asked once";
    EXPECT_TRUE(status.lines.empty());
    EXPECT_FALSE(HasDatabase(d.f.home().path(), Env::Default()));
  }
  Delegation d(true);
  // All drives: only D, a fixture folder, where such drives exist; elsewhere (Windows)
  // every drive deselected, so the server's build writes the index and reads no disk.
  const bool drives = testing::FixtureDrivesSupported();
  if (drives) {
    d.f.MapDrive(u'D', u"d");
    d.f.drives().WriteFile(u"d/x.txt", "x");
  } else {
    d.f.SetSetting(u"Options", u"VolumeStates", u"A0B0C0D0E0F0G0H0I0J0K0L0M0N0O0P0Q0R0S0T0U0V0W0X0Y0Z0");
  }
  FirstLineListener status;
  const bool built = StartBuild(&status, 0, d.context);
  EXPECT_EQ(d.starts, 1);
  EXPECT_EQ(d.parameters, MakeBuildServerParameters(d.f.home().path(), 0));
  EXPECT_TRUE(d.ServerEnded());
  EXPECT_TRUE(built) << "the server was reached and relayed";
  EXPECT_FALSE(status.lines.empty()) << "the server's status lines reach the asker";
  EXPECT_TRUE(HasDatabase(d.f.home().path(), Env::Default())) << ::testing::PrintToString(status.lines);
  if (drives) {
    EXPECT_NE(std::find(status.lines.begin(), status.lines.end(), "Building nusk for drive D ..."), status.lines.end())
        << ::testing::PrintToString(status.lines);
    EXPECT_EQ(d.f.Items().count(u"D:\\x.txt"), 1u);
  }
  EXPECT_FALSE(EndRelayedChild(4)) << "the published server is cleared after the relay";
}

// The system's volumes, with one root reported as a network drive.
class OneRemoteVolume : public Volumes {
 public:
  explicit OneRemoteVolume(std::u16string root) : root_(std::move(root)) {}
  uint32_t LogicalDrives() override { return base_->LogicalDrives(); }
  DriveType TypeOf(const std::u16string& root) override {
    return root == root_ ? DriveType::kRemote : base_->TypeOf(root);
  }
  bool QueryVolume(const std::u16string& root, VolumeInfo* info) override { return base_->QueryVolume(root, info); }
  bool QuerySpace(const std::u16string& root, uint64_t* total, uint64_t* free_bytes) override {
    return base_->QuerySpace(root, total, free_bytes);
  }
  std::u16string DisplayName(const std::u16string& root) override { return base_->DisplayName(root); }
  bool CanOpenVolume(const std::u16string& root) override { return base_->CanOpenVolume(root); }
  DiskLookup DiskNumber(const std::u16string& root, uint32_t* disk) override { return base_->DiskNumber(root, disk); }
  uint64_t FolderFileId(const std::u16string& path) override { return base_->FolderFileId(path); }
  DiskPower QueryDiskPower(uint32_t disk) override { return base_->QueryDiskPower(disk); }

 private:
  Volumes* base_ = Volumes::Default();
  std::u16string root_;
};

// The earlier build service builds all drives; a selected network drive is then built by
// a child here. When that child fails (the share is offline; here it cannot even start)
// the failure is reported and the service's build stands: no elevation prompt follows.
TEST(DelegationTest, FailedNetworkDriveChildIsReportedNotRetriedWithElevation) {
  // Its stand-in service answers on the machine-wide pipe, which another test's asker
  // would otherwise reach (and be told a build it did not ask for was done).
  const testing::MachineWideTestLock pipe_lock(u"build_server_pipe");
  ASSERT_TRUE(pipe_lock.held());
  Delegation d(true);
  // A fixture folder where drives are mapped; the system's first drive elsewhere.
  if (testing::FixtureDrivesSupported()) d.f.MapDrive(u'N', u"n");
  DriveSystem system(DriveMap::Load(d.f.SettingsPath()), Volumes::Default(), Env::Default());
  const std::u16string letters = system.PresentLetters();
  ASSERT_FALSE(letters.empty());
  const char16_t letter = letters[0];
  OneRemoteVolume volumes(system.Root(letter));
  DriveSystem drives(system.map(), &volumes, Env::Default());
  d.context.drives = &drives;
  d.context.program = u"/nonexistent/nusk";
  d.context.volume_states[letter - u'A'] = kVolumeSelected;
  // The earlier service answers one request with `reply` (nothing when empty).
  const auto ask = [&d](const std::string& reply, FirstLineListener* status) {
    std::thread service([reply] {
      std::unique_ptr<MessagePipe> pipe;
      ASSERT_TRUE(MessagePipe::Serve(kEarlierServicePipe, 20000, &pipe).ok());
      std::string request;
      ASSERT_EQ(pipe->ReadPiece(4096, &request), MessagePipe::ReadResult::kPiece);
      if (!reply.empty()) { ASSERT_TRUE(pipe->WriteMessage(reply + '\0')); }
      ASSERT_TRUE(pipe->WriteMessage(""));
    });
    bool asked = false;
    for (int attempt = 0; attempt < 100 && !asked; ++attempt) {
      asked = AskBuildService(status, kEarlierServicePipe, 0, d.context);
      if (!asked) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    service.join();
    return asked;
  };
  FirstLineListener status;
  EXPECT_TRUE(ask("Built by the service\n", &status)) << ::testing::PrintToString(status.lines);
  const auto has = [&status](const char* line) {
    return std::find(status.lines.begin(), status.lines.end(), line) != status.lines.end();
  };
  EXPECT_TRUE(has("Built by the service"));
  EXPECT_TRUE(has("Failed to create build process")) << "the network drives' child was started";
  EXPECT_TRUE(has("The selected network drives could not be built.")) << ::testing::PrintToString(status.lines);
  // An older system: the earlier service's build is all there is.
  d.context.newer_system = false;
  FirstLineListener older;
  EXPECT_TRUE(ask("", &older));
  EXPECT_TRUE(older.lines.empty()) << ::testing::PrintToString(older.lines);
  EXPECT_EQ(d.starts, 0) << "no elevation after a service build";
}

TEST(DelegationTest, EndRelayedChildReachesTheChildBuildAndThePublishedServer) {
  // The server's pipe has one machine-wide name: no other test's server may answer here.
  const testing::MachineWideTestLock pipe_lock(u"build_server_pipe");
  ASSERT_TRUE(pipe_lock.held());
  EXPECT_FALSE(EndRelayedChild(4)) << "nothing runs";
  {
    BuildFixture f;
    DriveSystem drives(DriveMap::Native(), Volumes::Default(), Env::Default());
    StartBuildContext context{&drives, f.home().path(), BuildFixture::Program()};
    std::atomic<bool> ended{false};
    FirstLineListener status([&ended] { ended = EndRelayedChild(4); });
    EXPECT_FALSE(RunBuildChild(&status, u'Y', context)) << "an ended child is no successful build";
    EXPECT_TRUE(ended) << "the child was published while its output was relayed";
    EXPECT_FALSE(EndRelayedChild(4));
  }
  Delegation d(true);
  ChildServer::terminated_with = 0;
  std::atomic<bool> ended{false};
  FirstLineListener status([&ended] { ended = EndRelayedChild(4); });
  ElevateBuildServer(&status, u'Y', d.context);
  EXPECT_TRUE(ended) << ::testing::PrintToString(status.lines);
  EXPECT_EQ(ChildServer::terminated_with.load(), 4);
  EXPECT_TRUE(d.ServerEnded());
  EXPECT_FALSE(EndRelayedChild(4));
}

}  // namespace
}  // namespace nusk
