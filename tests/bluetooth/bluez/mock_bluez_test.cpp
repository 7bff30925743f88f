// mock_bluez_test.cpp: the mock bluetoothd answers raw sd-bus calls the way bluetoothd does, so the backend's
// tests against it mean something. Calls are pumped (sd_bus_call_async with sd_bus_process/sd_bus_wait) because
// Pair and ConnectProfile call back into the caller's agent and profile objects before they return.
#include "mock_bluez.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kv::bt::testing {
namespace {

using Clock = std::chrono::steady_clock;
using Props = std::map<std::string, std::string>;   // property -> value as text
using Interfaces = std::map<std::string, Props>;    // interface -> properties
using Objects = std::map<std::string, Interfaces>;  // object path -> interfaces

constexpr const char* kAdapter = "hci0";
constexpr const char* kAdapterPath = "/org/bluez/hci0";
constexpr const char* kAdapterIface = "org.bluez.Adapter1";
constexpr const char* kDeviceIface = "org.bluez.Device1";
constexpr const char* kAgentPath = "/test/agent";
constexpr const char* kProfilePath = "/test/profile";
constexpr const char* kSerialPortUuid = "00001101-0000-1000-8000-00805f9b34fb";
constexpr const char* kScale = "00:11:22:33:44:AA";
constexpr const char* kScalePath = "/org/bluez/hci0/dev_00_11_22_33_44_AA";
constexpr const char* kOther = "00:11:22:33:44:BB";
constexpr const char* kOtherPath = "/org/bluez/hci0/dev_00_11_22_33_44_BB";
constexpr uint32_t kClass = 0x1f00;  // uncategorised major class, as such analysers announce themselves

struct Reply {
  bool done = false;
  std::string error;  // D-Bus error name, empty on success
  std::string message;
  sd_bus_message* message_ptr = nullptr;
  ~Reply() { sd_bus_message_unref(message_ptr); }
};

// Renders a variant's value as text: strings and paths as they are, booleans true/false, numbers in decimal,
// string arrays joined by ','.
std::string ReadVariant(sd_bus_message* m) {
  const char* contents = nullptr;
  sd_bus_message_peek_type(m, nullptr, &contents);
  std::string signature = contents;
  sd_bus_message_enter_container(m, 'v', signature.c_str());
  std::string text = "?";
  if (signature == "s" || signature == "o") {
    const char* s = nullptr;
    sd_bus_message_read_basic(m, signature[0], &s);
    text = s;
  } else if (signature == "b") {
    int b = 0;
    sd_bus_message_read_basic(m, 'b', &b);
    text = b ? "true" : "false";
  } else if (signature == "u") {
    uint32_t u = 0;
    sd_bus_message_read_basic(m, 'u', &u);
    text = std::to_string(u);
  } else if (signature == "n") {
    int16_t n = 0;
    sd_bus_message_read_basic(m, 'n', &n);
    text = std::to_string(n);
  } else if (signature == "as") {
    char** strv = nullptr;
    sd_bus_message_read_strv(m, &strv);
    text.clear();
    for (char** s = strv; s && *s; ++s) {
      text += (text.empty() ? "" : ",") + std::string(*s);
      std::free(*s);
    }
    std::free(strv);
  } else {
    sd_bus_message_skip(m, signature.c_str());
  }
  sd_bus_message_exit_container(m);
  return text;
}

Interfaces ReadInterfaces(sd_bus_message* m) {
  Interfaces interfaces;
  sd_bus_message_enter_container(m, 'a', "{sa{sv}}");
  while (sd_bus_message_enter_container(m, 'e', "sa{sv}") > 0) {
    const char* name = nullptr;
    sd_bus_message_read(m, "s", &name);
    Props& props = interfaces[name];
    sd_bus_message_enter_container(m, 'a', "{sv}");
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
      const char* prop = nullptr;
      sd_bus_message_read(m, "s", &prop);
      props[prop] = ReadVariant(m);
      sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    sd_bus_message_exit_container(m);
  }
  sd_bus_message_exit_container(m);
  return interfaces;
}

// A client of the mock on a connection of its own, found through DBUS_SYSTEM_BUS_ADDRESS like the backend.
class Client {
 public:
  Client() {
    int rc = sd_bus_open_system(&bus_);
    if (rc < 0) throw std::runtime_error(std::string("sd_bus_open_system: ") + std::strerror(-rc));
  }
  ~Client() { sd_bus_flush_close_unref(bus_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  sd_bus* bus() { return bus_; }

  template <typename... Args>
  std::unique_ptr<Reply> Call(const char* path, const char* iface, const char* member, const char* signature,
                              Args... args) {
    sd_bus_message* call = nullptr;
    EXPECT_GE(sd_bus_message_new_method_call(bus_, &call, "org.bluez", path, iface, member), 0);
    if (signature) {
      EXPECT_GE(sd_bus_message_append(call, signature, args...), 0);
    }
    auto reply = std::make_unique<Reply>();
    EXPECT_GE(sd_bus_call_async(bus_, nullptr, call, OnReply, reply.get(), 10'000'000), 0);
    sd_bus_message_unref(call);
    PumpUntil([&] { return reply->done; }, std::chrono::seconds(8));
    EXPECT_TRUE(reply->done) << member << " got no reply";
    return reply;
  }

  // Name of the error the call ended with, empty on success.
  template <typename... Args>
  std::string Error(const char* path, const char* iface, const char* member, const char* signature = nullptr,
                    Args... args) {
    return Call(path, iface, member, signature, args...)->error;
  }

  template <typename Done>
  void PumpUntil(Done done, std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (!done() && Clock::now() < deadline) {
      if (sd_bus_process(bus_, nullptr) > 0) continue;
      sd_bus_wait(bus_, 20'000);
    }
  }

  void PumpFor(std::chrono::milliseconds span) {
    PumpUntil([] { return false; }, span);
  }

  Objects ManagedObjects() {
    auto reply = Call("/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", nullptr);
    Objects objects;
    if (!reply->error.empty()) return objects;
    sd_bus_message* m = reply->message_ptr;
    sd_bus_message_enter_container(m, 'a', "{oa{sa{sv}}}");
    while (sd_bus_message_enter_container(m, 'e', "oa{sa{sv}}") > 0) {
      const char* path = nullptr;
      sd_bus_message_read(m, "o", &path);
      objects[path] = ReadInterfaces(m);
      sd_bus_message_exit_container(m);
    }
    return objects;
  }

 private:
  static int OnReply(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* reply = static_cast<Reply*>(userdata);
    reply->done = true;
    if (const sd_bus_error* error = sd_bus_message_get_error(m)) {
      reply->error = error->name ? error->name : "";
      reply->message = error->message ? error->message : "";
    }
    reply->message_ptr = sd_bus_message_ref(m);
    return 0;
  }

  sd_bus* bus_ = nullptr;
};

// An org.bluez.Agent1 object on a client's connection.
struct TestAgent {
  enum class Answer { kPin, kError, kSilent };
  Answer answer = Answer::kPin;
  std::string pin;
  uint32_t passkey = 0;
  std::string errorName;
  std::vector<std::string> requests;  // "RequestPinCode <device>", "RequestPasskey <device>", "Cancel"
  sd_bus_message* unanswered = nullptr;
  sd_bus_slot* slot = nullptr;

  ~TestAgent() {
    sd_bus_message_unref(unanswered);
    sd_bus_slot_unref(slot);
  }

  static int Request(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    auto* agent = static_cast<TestAgent*>(userdata);
    const char* device = nullptr;
    sd_bus_message_read(m, "o", &device);
    bool wantsPasskey = std::string(sd_bus_message_get_member(m)) == "RequestPasskey";
    agent->requests.push_back(std::string(sd_bus_message_get_member(m)) + " " + device);
    switch (agent->answer) {
      case Answer::kPin:
        return wantsPasskey ? sd_bus_reply_method_return(m, "u", agent->passkey)
                            : sd_bus_reply_method_return(m, "s", agent->pin.c_str());
      case Answer::kError:
        return sd_bus_error_set(error, agent->errorName.c_str(), "refused by the test");
      case Answer::kSilent:
        agent->unanswered = sd_bus_message_ref(m);
        return 1;
    }
    return 0;
  }

  static int Cancel(sd_bus_message* m, void* userdata, sd_bus_error*) {
    static_cast<TestAgent*>(userdata)->requests.emplace_back("Cancel");
    return sd_bus_reply_method_return(m, "");
  }

  void Export(Client& client) {
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0), SD_BUS_METHOD("RequestPinCode", "o", "s", Request, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("RequestPasskey", "o", "u", Request, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Cancel", "", "", Cancel, SD_BUS_VTABLE_UNPRIVILEGED), SD_BUS_VTABLE_END};
    ASSERT_GE(sd_bus_add_object_vtable(client.bus(), &slot, kAgentPath, "org.bluez.Agent1", vtable, this), 0);
  }
};

// An org.bluez.Profile1 object that keeps the socket NewConnection brings.
struct TestProfile {
  bool refuse = false;
  int fd = -1;
  std::string device;
  sd_bus_slot* slot = nullptr;

  ~TestProfile() {
    if (fd >= 0) close(fd);
    sd_bus_slot_unref(slot);
  }

  static int NewConnection(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    auto* profile = static_cast<TestProfile*>(userdata);
    const char* device = nullptr;
    int fd = -1;
    sd_bus_message_read(m, "oh", &device, &fd);
    profile->device = device;
    if (profile->refuse) return sd_bus_error_set(error, "org.bluez.Error.Rejected", "not now");
    profile->fd = fcntl(fd, F_DUPFD_CLOEXEC, 3);  // the message owns fd
    return sd_bus_reply_method_return(m, "");
  }

  void Export(Client& client) {
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("NewConnection", "oha{sv}", "", NewConnection, SD_BUS_VTABLE_UNPRIVILEGED), SD_BUS_VTABLE_END};
    ASSERT_GE(sd_bus_add_object_vtable(client.bus(), &slot, kProfilePath, "org.bluez.Profile1", vtable, this), 0);
  }
};

std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (line.size() < 200) {
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, 2000) <= 0 || read(fd, &c, 1) != 1) break;
    line += c;
    if (c == '\n') break;
  }
  return line;
}

std::string SystemBusVariable() {
  const char* value = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  return value ? value : "(unset)";
}

bool Contains(const std::vector<std::string>& list, const std::string& entry) {
  return std::find(list.begin(), list.end(), entry) != list.end();
}

class MockBluezTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mock_ = MockBluez::Start();
    mock_->AddAdapter(kAdapter, "lab-pc", "00:1a:7d:da:71:13");
  }

  std::string RegisterAgent(Client& client) {
    return client.Error("/org/bluez", "org.bluez.AgentManager1", "RegisterAgent", "os", kAgentPath, "KeyboardDisplay");
  }

  std::string RegisterProfile(Client& client, const char* uuid) {
    return client.Error("/org/bluez", "org.bluez.ProfileManager1", "RegisterProfile", "osa{sv}", kProfilePath, uuid, 1,
                        "Role", "s", "client");
  }

  std::unique_ptr<MockBluez> mock_;
};

TEST_F(MockBluezTest, ManagedObjectsListAdaptersAndDevicesAsBluetoothdDoes) {
  mock_->AddKnownDevice(kAdapter, "00:11:22:33:44:aa", "", kClass, true, false, "0000");
  mock_->AddKnownDevice(kAdapter, kOther, "Scale 2", 0, false, true, "1234");
  Client client;
  Objects objects = client.ManagedObjects();

  ASSERT_TRUE(objects.count(kAdapterPath));
  Props adapter = objects[kAdapterPath][kAdapterIface];
  EXPECT_EQ(adapter["Address"], "00:1A:7D:DA:71:13");
  EXPECT_EQ(adapter["Alias"], "lab-pc");
  EXPECT_EQ(adapter["Powered"], "true");
  EXPECT_EQ(adapter["Discovering"], "false");
  EXPECT_TRUE(objects["/org/bluez"].count("org.bluez.AgentManager1"));

  ASSERT_TRUE(objects.count(kScalePath));
  Props unnamed = objects[kScalePath][kDeviceIface];
  EXPECT_EQ(unnamed["Address"], kScale);
  EXPECT_EQ(unnamed["AddressType"], "public");
  EXPECT_FALSE(unnamed.count("Name")) << "an unnamed device has no Name property";
  EXPECT_EQ(unnamed["Alias"], "00-11-22-33-44-AA");
  EXPECT_EQ(unnamed["Class"], "7936");
  EXPECT_EQ(unnamed["Paired"], "true");
  EXPECT_EQ(unnamed["Bonded"], "true");
  EXPECT_EQ(unnamed["Trusted"], "false");
  EXPECT_EQ(unnamed["Adapter"], kAdapterPath);
  EXPECT_EQ(unnamed["UUIDs"], "");

  Props named = objects[kOtherPath][kDeviceIface];
  EXPECT_EQ(named["Name"], "Scale 2");
  EXPECT_EQ(named["Alias"], "Scale 2");
  EXPECT_EQ(named["Paired"], "false");
  EXPECT_EQ(named["Trusted"], "true");
  EXPECT_FALSE(named.count("Class")) << "bluetoothd leaves out a zero class";
}

TEST_F(MockBluezTest, DiscoveryErrorsAreBluetoothds) {
  mock_->AddAdapter("hci1", "dongle", "00:1a:7d:da:71:14");
  mock_->SetPowered("hci1", false);
  Client client;
  auto stop = client.Call(kAdapterPath, kAdapterIface, "StopDiscovery", nullptr);
  EXPECT_EQ(stop->error, "org.bluez.Error.Failed");
  EXPECT_EQ(stop->message, "No discovery started");
  EXPECT_EQ(client.Error(kAdapterPath, kAdapterIface, "StartDiscovery"), "");
  EXPECT_EQ(client.Error(kAdapterPath, kAdapterIface, "StartDiscovery"), "org.bluez.Error.InProgress");
  EXPECT_EQ(client.Error("/org/bluez/hci1", kAdapterIface, "StartDiscovery"), "org.bluez.Error.NotReady");
  EXPECT_EQ(client.Error(kAdapterPath, kAdapterIface, "SetDiscoveryFilter", "a{sv}", 1, "Transport", "s", "radio"),
            "org.bluez.Error.InvalidArguments");
  EXPECT_TRUE(mock_->Discovering(kAdapter));
  EXPECT_FALSE(mock_->Discovering("hci1"));
}

TEST_F(MockBluezTest, DiscoveringLastsWhileAnyClientDiscovers) {
  Client first;
  std::vector<std::string> discovering;  // the Discovering values PropertiesChanged announced
  sd_bus_slot* match = nullptr;
  auto onChanged = [](sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* iface = nullptr;
    sd_bus_message_read(m, "s", &iface);
    sd_bus_message_enter_container(m, 'a', "{sv}");
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
      const char* prop = nullptr;
      sd_bus_message_read(m, "s", &prop);
      std::string value = ReadVariant(m);
      if (std::string(prop) == "Discovering") static_cast<std::vector<std::string>*>(userdata)->push_back(value);
      sd_bus_message_exit_container(m);
    }
    return 0;
  };
  ASSERT_GE(sd_bus_match_signal(first.bus(), &match, nullptr, kAdapterPath, "org.freedesktop.DBus.Properties",
                                "PropertiesChanged", onChanged, &discovering),
            0);
  auto second = std::make_unique<Client>();
  ASSERT_EQ(first.Error(kAdapterPath, kAdapterIface, "StartDiscovery"), "");
  ASSERT_EQ(second->Error(kAdapterPath, kAdapterIface, "SetDiscoveryFilter", "a{sv}", 1, "Transport", "s", "bredr"),
            "");
  ASSERT_EQ(second->Error(kAdapterPath, kAdapterIface, "StartDiscovery"), "");
  ASSERT_EQ(first.Error(kAdapterPath, kAdapterIface, "StopDiscovery"), "");
  EXPECT_TRUE(mock_->Discovering(kAdapter)) << "the second client still discovers";
  second.reset();  // leaving the bus ends its discovery
  auto deadline = Clock::now() + std::chrono::seconds(2);
  while (mock_->Discovering(kAdapter) && Clock::now() < deadline) first.PumpFor(std::chrono::milliseconds(10));
  EXPECT_FALSE(mock_->Discovering(kAdapter));
  first.PumpUntil([&] { return discovering.size() >= 2; }, std::chrono::seconds(1));
  EXPECT_EQ(discovering, (std::vector<std::string>{"true", "false"}));
  sd_bus_slot_unref(match);
  EXPECT_EQ(mock_->CallLog(),
            (std::vector<std::string>{"StartDiscovery hci0", "SetDiscoveryFilter hci0 Transport=bredr",
                                      "StartDiscovery hci0", "StopDiscovery hci0"}));
}

TEST_F(MockBluezTest, DevicesAppearTheirDelayAfterDiscoveryStarts) {
  mock_->AddDiscoverableDevice(kAdapter, kScale, "", kClass, "0000", 0);
  mock_->AddDiscoverableDevice(kAdapter, kOther, "Scale 2", kClass, "0000", 200);
  Client client;
  std::vector<std::string> added;
  sd_bus_slot* match = nullptr;
  auto onAdded = [](sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* path = nullptr;
    sd_bus_message_read(m, "o", &path);
    if (ReadInterfaces(m).count(kDeviceIface)) static_cast<std::vector<std::string>*>(userdata)->push_back(path);
    return 0;
  };
  ASSERT_GE(sd_bus_match_signal(client.bus(), &match, nullptr, "/", "org.freedesktop.DBus.ObjectManager",
                                "InterfacesAdded", onAdded, &added),
            0);
  EXPECT_FALSE(mock_->DeviceState(kScale).exists) << "nothing is found before discovery";

  auto started = Clock::now();
  ASSERT_EQ(client.Error(kAdapterPath, kAdapterIface, "StartDiscovery"), "");
  EXPECT_TRUE(mock_->DeviceState(kScale).exists) << "a device with no delay is there when StartDiscovery returns";
  EXPECT_FALSE(mock_->DeviceState(kOther).exists);
  client.PumpUntil([&] { return added.size() >= 2; }, std::chrono::seconds(2));
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(200));
  EXPECT_EQ(added, (std::vector<std::string>{kScalePath, kOtherPath}));
  Props found = client.ManagedObjects()[kOtherPath][kDeviceIface];
  EXPECT_EQ(found["Name"], "Scale 2");
  EXPECT_EQ(found["Paired"], "false");
  sd_bus_slot_unref(match);
}

TEST_F(MockBluezTest, DevicesStayAwayWhenDiscoveryStopsFirstAndComeBackAfterBeingDropped) {
  mock_->AddDiscoverableDevice(kAdapter, kScale, "Scale", kClass, "0000", 150);
  mock_->AddDiscoverableDevice(kAdapter, kOther, "Scale 2", kClass, "0000", 0);
  mock_->AddKnownDevice(kAdapter, "00:11:22:33:44:CC", "Paired one", kClass, true, false, "0000");
  Client client;
  ASSERT_EQ(client.Error(kAdapterPath, kAdapterIface, "StartDiscovery"), "");
  ASSERT_EQ(client.Error(kAdapterPath, kAdapterIface, "StopDiscovery"), "");
  client.PumpFor(std::chrono::milliseconds(300));
  EXPECT_FALSE(mock_->DeviceState(kScale).exists);
  EXPECT_TRUE(mock_->DeviceState(kOther).exists);

  mock_->DropUnpairedDevices(kAdapter);
  EXPECT_FALSE(mock_->DeviceState(kOther).exists);
  EXPECT_TRUE(mock_->DeviceState("00:11:22:33:44:CC").exists) << "paired devices are kept";
  ASSERT_EQ(client.Error(kAdapterPath, kAdapterIface, "StartDiscovery"), "");
  EXPECT_TRUE(mock_->DeviceState(kOther).exists) << "found again by the next discovery";
}

struct PairCase {
  const char* name;
  TestAgent::Answer answer;
  const char* pin;         // what the agent answers
  const char* agentError;  // the agent's error, for Answer::kError
  const char* pairError;   // what Pair must end with, empty for success
};

std::string PairCaseName(const ::testing::TestParamInfo<PairCase>& param) { return param.param.name; }

class PairTest : public MockBluezTest, public ::testing::WithParamInterface<PairCase> {};

TEST_P(PairTest, EndsAsTheAgentAnswers) {
  const PairCase& c = GetParam();
  mock_->AddKnownDevice(kAdapter, kScale, "Scale", kClass, false, false, "0000");
  Client client;
  TestAgent agent;
  agent.answer = c.answer;
  agent.pin = c.pin;
  agent.errorName = c.agentError;
  agent.Export(client);
  ASSERT_EQ(RegisterAgent(client), "");

  EXPECT_EQ(client.Error(kScalePath, kDeviceIface, "Pair"), c.pairError);
  EXPECT_EQ(agent.requests, std::vector<std::string>{std::string("RequestPinCode ") + kScalePath});
  bool paired = std::string(c.pairError).empty();
  EXPECT_EQ(mock_->DeviceState(kScale), (MockDeviceState{true, paired, false, false}));
  Props props = client.ManagedObjects()[kScalePath][kDeviceIface];
  EXPECT_EQ(props["Bonded"], paired ? "true" : "false");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PairTest,
    ::testing::Values(PairCase{"RightPin", TestAgent::Answer::kPin, "0000", "", ""},
                      PairCase{"WrongPin", TestAgent::Answer::kPin, "1234", "", "org.bluez.Error.AuthenticationFailed"},
                      PairCase{"Rejected", TestAgent::Answer::kError, "", "org.bluez.Error.Rejected",
                               "org.bluez.Error.AuthenticationRejected"},
                      PairCase{"Canceled", TestAgent::Answer::kError, "", "org.bluez.Error.Canceled",
                               "org.bluez.Error.AuthenticationCanceled"}),
    PairCaseName);

TEST_F(MockBluezTest, PairUsesOnlyTheCallersAgent) {
  mock_->AddKnownDevice(kAdapter, kScale, "Scale", kClass, false, false, "0000");
  mock_->AddKnownDevice(kAdapter, kOther, "Scale 2", kClass, true, false, "0000");
  Client withAgent;
  TestAgent agent;
  agent.pin = "0000";
  agent.Export(withAgent);
  ASSERT_EQ(RegisterAgent(withAgent), "");
  Client withoutAgent;
  EXPECT_EQ(withoutAgent.Error(kScalePath, kDeviceIface, "Pair"), "org.bluez.Error.AuthenticationFailed");
  EXPECT_TRUE(agent.requests.empty()) << "another client's agent is not asked";
  EXPECT_EQ(withAgent.Error(kOtherPath, kDeviceIface, "Pair"), "org.bluez.Error.AlreadyExists");
  EXPECT_TRUE(agent.requests.empty());
}

TEST_F(MockBluezTest, PasskeyDevicesAskForANumber) {
  mock_->AddKnownDevice(kAdapter, kScale, "Scale", kClass, false, false, "");
  mock_->SetPasskeyMode(kScale, 123456);
  Client client;
  TestAgent agent;
  agent.passkey = 123456;
  agent.Export(client);
  ASSERT_EQ(RegisterAgent(client), "");
  EXPECT_EQ(client.Error(kScalePath, kDeviceIface, "Pair"), "");
  EXPECT_EQ(agent.requests, std::vector<std::string>{std::string("RequestPasskey ") + kScalePath});
  EXPECT_TRUE(mock_->DeviceState(kScale).paired);
}

TEST_F(MockBluezTest, UnansweredPairingTimesOutAndCancelsTheAgent) {
  mock_->AddKnownDevice(kAdapter, kScale, "Scale", kClass, false, false, "0000");
  mock_->SetAgentTimeout(200);
  Client client;
  TestAgent agent;
  agent.answer = TestAgent::Answer::kSilent;
  agent.Export(client);
  ASSERT_EQ(RegisterAgent(client), "");
  EXPECT_EQ(client.Error(kScalePath, kDeviceIface, "Pair"), "org.bluez.Error.AuthenticationTimeout");
  client.PumpUntil([&] { return agent.requests.size() >= 2; }, std::chrono::seconds(1));
  EXPECT_EQ(agent.requests, (std::vector<std::string>{std::string("RequestPinCode ") + kScalePath, "Cancel"}));
  EXPECT_FALSE(mock_->DeviceState(kScale).paired);
}

TEST_F(MockBluezTest, CancelPairingEndsAPairingInProgress) {
  mock_->AddKnownDevice(kAdapter, kScale, "Scale", kClass, false, false, "0000");
  Client client;
  EXPECT_EQ(client.Error(kScalePath, kDeviceIface, "CancelPairing"), "org.bluez.Error.DoesNotExist");
  TestAgent agent;
  agent.answer = TestAgent::Answer::kSilent;
  agent.Export(client);
  ASSERT_EQ(RegisterAgent(client), "");
  Reply pair;
  sd_bus_message* call = nullptr;
  ASSERT_GE(sd_bus_message_new_method_call(client.bus(), &call, "org.bluez", kScalePath, kDeviceIface, "Pair"), 0);
  auto onReply = [](sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* reply = static_cast<Reply*>(userdata);
    reply->done = true;
    if (const sd_bus_error* e = sd_bus_message_get_error(m)) reply->error = e->name;
    return 0;
  };
  ASSERT_GE(sd_bus_call_async(client.bus(), nullptr, call, onReply, &pair, 5'000'000), 0);
  sd_bus_message_unref(call);
  client.PumpUntil([&] { return !agent.requests.empty(); }, std::chrono::seconds(2));
  Client other;
  EXPECT_EQ(other.Error(kScalePath, kDeviceIface, "CancelPairing"), "");
  client.PumpUntil([&] { return pair.done; }, std::chrono::seconds(2));
  EXPECT_EQ(pair.error, "org.bluez.Error.AuthenticationCanceled");
  EXPECT_TRUE(Contains(agent.requests, "Cancel"));
}

TEST_F(MockBluezTest, AgentsAreKeptPerClientAndDroppedWhenItLeaves) {
  Client staying;
  EXPECT_EQ(RegisterAgent(staying), "");
  EXPECT_EQ(RegisterAgent(staying), "org.bluez.Error.AlreadyExists");
  EXPECT_EQ(staying.Error("/org/bluez", "org.bluez.AgentManager1", "UnregisterAgent", "o", "/test/other"),
            "org.bluez.Error.DoesNotExist");
  {
    Client leaving;
    EXPECT_EQ(leaving.Error("/org/bluez", "org.bluez.AgentManager1", "RegisterAgent", "os", "/leaving/agent",
                            "KeyboardDisplay"),
              "")
        << "another client may register an agent of its own";
    EXPECT_EQ(mock_->RegisteredAgents().size(), 2u);
  }
  auto deadline = Clock::now() + std::chrono::seconds(2);
  while (mock_->RegisteredAgents().size() > 1 && Clock::now() < deadline)
    staying.PumpFor(std::chrono::milliseconds(10));
  EXPECT_EQ(mock_->RegisteredAgents(), std::vector<std::string>{kAgentPath});
  EXPECT_EQ(staying.Error("/org/bluez", "org.bluez.AgentManager1", "UnregisterAgent", "o", kAgentPath), "");
  EXPECT_TRUE(mock_->RegisteredAgents().empty());
  auto log = mock_->CallLog();
  EXPECT_TRUE(Contains(log, "UnregisterAgent /test/agent"));
  EXPECT_FALSE(Contains(log, "UnregisterAgent /leaving/agent")) << "leaving the bus is no explicit unregistration";
}

TEST_F(MockBluezTest, ProfilesAreKeptPerClientWithBluetoothdsErrors) {
  Client client;
  EXPECT_EQ(RegisterProfile(client, kSerialPortUuid), "");
  EXPECT_EQ(RegisterProfile(client, kSerialPortUuid), "org.bluez.Error.AlreadyExists");
  EXPECT_EQ(mock_->RegisteredProfiles(), std::vector<std::string>{kProfilePath});
  EXPECT_EQ(client.Error("/org/bluez", "org.bluez.ProfileManager1", "UnregisterProfile", "o", "/not/registered"),
            "org.bluez.Error.DoesNotExist");
  EXPECT_EQ(client.Error("/org/bluez", "org.bluez.ProfileManager1", "UnregisterProfile", "o", kProfilePath), "");
  EXPECT_TRUE(mock_->RegisteredProfiles().empty());
  EXPECT_EQ(mock_->CallLog(),
            (std::vector<std::string>{std::string("RegisterProfile /test/profile ") + kSerialPortUuid + " Role=client",
                                      std::string("RegisterProfile /test/profile ") + kSerialPortUuid + " Role=client",
                                      "UnregisterProfile /not/registered", "UnregisterProfile /test/profile"}));
}

TEST_F(MockBluezTest, ConnectProfileHandsTheProfileAMarkedSocket) {
  mock_->AddKnownDevice(kAdapter, kScale, "Scale", kClass, true, true, "0000");
  Client client;
  TestProfile profile;
  profile.Export(client);
  ASSERT_EQ(RegisterProfile(client, "00001101-0000-1000-8000-00805F9B34FB"), "");  // UUIDs match in any case
  EXPECT_EQ(client.Error(kScalePath, kDeviceIface, "ConnectProfile", "s", kSerialPortUuid), "");
  EXPECT_EQ(profile.device, kScalePath);
  ASSERT_GE(profile.fd, 0);
  EXPECT_EQ(ReadLine(profile.fd), std::string("KVMOCK ") + kScale + "\n");
  EXPECT_TRUE(mock_->DeviceState(kScale).connected);
  EXPECT_EQ(client.Error(kScalePath, kDeviceIface, "ConnectProfile", "s", kSerialPortUuid),
            "org.bluez.Error.AlreadyConnected");

  close(profile.fd);  // the link goes when the client lets the socket go
  profile.fd = -1;
  auto deadline = Clock::now() + std::chrono::seconds(2);
  while (mock_->DeviceState(kScale).connected && Clock::now() < deadline) client.PumpFor(std::chrono::milliseconds(10));
  EXPECT_FALSE(mock_->DeviceState(kScale).connected);
}

TEST_F(MockBluezTest, ConnectProfileFailsAsBluetoothdDoes) {
  mock_->AddKnownDevice(kAdapter, kScale, "Scale", kClass, true, true, "0000");
  mock_->AddKnownDevice(kAdapter, kOther, "Scale 2", kClass, true, true, "0000");
  Client client;
  auto unavailable = client.Call(kScalePath, kDeviceIface, "ConnectProfile", "s", kSerialPortUuid);
  EXPECT_EQ(unavailable->error, "org.bluez.Error.Failed");
  EXPECT_EQ(unavailable->message, "br-connection-profile-unavailable");

  TestProfile profile;
  profile.refuse = true;
  profile.Export(client);
  ASSERT_EQ(RegisterProfile(client, kSerialPortUuid), "");
  EXPECT_EQ(client.Error(kScalePath, kDeviceIface, "ConnectProfile", "s", kSerialPortUuid), "org.bluez.Error.Failed");
  EXPECT_EQ(profile.device, kScalePath) << "the profile was asked and refused";

  mock_->SetConnectProfileError(kOther, "org.bluez.Error.Failed", "Host is down");
  auto down = client.Call(kOtherPath, kDeviceIface, "ConnectProfile", "s", kSerialPortUuid);
  EXPECT_EQ(down->error, "org.bluez.Error.Failed");
  EXPECT_EQ(down->message, "Host is down");
  EXPECT_FALSE(mock_->DeviceState(kScale).connected);
  EXPECT_FALSE(mock_->DeviceState(kOther).connected);
}

TEST_F(MockBluezTest, RemoveDeviceAndTrustAreRecorded) {
  mock_->AddKnownDevice(kAdapter, kScale, "Scale", kClass, true, false, "0000");
  Client client;
  EXPECT_EQ(client.Error(kAdapterPath, kAdapterIface, "RemoveDevice", "o", kOtherPath), "org.bluez.Error.DoesNotExist");
  EXPECT_EQ(client.Error(kScalePath, "org.freedesktop.DBus.Properties", "Set", "ssv", kDeviceIface, "Trusted", "b", 1),
            "");
  EXPECT_TRUE(mock_->DeviceState(kScale).trusted);
  EXPECT_EQ(client.Error(kScalePath, "org.freedesktop.DBus.Properties", "Set", "ssv", kDeviceIface, "Paired", "b", 0),
            "org.freedesktop.DBus.Error.PropertyReadOnly");
  EXPECT_EQ(client.Error(kAdapterPath, kAdapterIface, "RemoveDevice", "o", kScalePath), "");
  EXPECT_FALSE(mock_->DeviceState(kScale).exists);
  EXPECT_FALSE(client.ManagedObjects().count(kScalePath));
  EXPECT_EQ(mock_->CallLog(), (std::vector<std::string>{std::string("RemoveDevice ") + kOtherPath,
                                                        std::string("SetTrusted ") + kScale + " true",
                                                        std::string("RemoveDevice ") + kScalePath}));
}

TEST(MockBluezFixture, PointsTheSystemBusAtItselfWhileItLives) {
  const char* before = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  std::string saved = before ? before : "";
  std::string noBus = MockBluez::NoBusAddress();
  setenv("DBUS_SYSTEM_BUS_ADDRESS", noBus.c_str(), 1);
  sd_bus* bus = nullptr;
  EXPECT_LT(sd_bus_open_system(&bus), 0) << "nothing listens at " << noBus;
  {
    auto busOnly = MockBluez::Start(false);
    EXPECT_EQ(SystemBusVariable(), busOnly->Address());
    Client client;  // the bus is there, bluetoothd is not
    EXPECT_EQ(client.Error("/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects"),
              "org.freedesktop.DBus.Error.ServiceUnknown");
    EXPECT_THROW(busOnly->AddAdapter(kAdapter, "lab-pc", "00:1a:7d:da:71:13"), std::runtime_error);
  }
  EXPECT_EQ(SystemBusVariable(), noBus);
  if (before) {
    setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
  } else {
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  }
}

}  // namespace
}  // namespace kv::bt::testing
