// SPDX-License-Identifier: MIT
// Redirects that would lead the check into the user's own network, and how an unreachable
// network reads: in a network namespace of the test's own, where test addresses on the loopback interface
// play the Internet (198.51.100.7, 198.51.100.8), the user's network (10.11.12.13, 10.11.12.14,
// fd00::1) and a cloud's metadata service (169.254.169.254). The program runs itself again under
// `unshare -n` (`unshare -rn` when not root) and skips, saying so, where that is not allowed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "check/address_kind.h"
#include "check/link_checker.h"
#include "support/link_server.h"

namespace trevanto::check {
namespace {

using namespace std::chrono_literals;
using test::LinkServer;

bool haveIPv6 = false;

std::map<std::string, Outcome> checkAll(const std::vector<std::string>& addresses, CheckSettings settings = {}) {
  settings.connectTimeout = 2s;
  settings.requestTimeout = 2s;
  settings.retryPause = 50ms;
  std::map<std::string, Outcome> found;
  checkAddresses(
      addresses, settings, [&](std::size_t index, const Outcome& outcome) { found[addresses[index]] = outcome; },
      [] { return false; });
  EXPECT_EQ(found.size(), addresses.size());
  return found;
}

void expectOutcome(const std::map<std::string, Outcome>& found, const std::string& address, LinkState state,
                   std::string_view detail) {
  const auto it = found.find(address);
  ASSERT_NE(it, found.end()) << address;
  EXPECT_EQ(it->second.state, state) << address << ": " << it->second.detail;
  EXPECT_EQ(it->second.detail, detail) << address;
}

// "http://HOST:PORT/redirect?to=TARGET", the target's own query written so that it stays one.
std::string redirect(const LinkServer& server, const std::string& host, const std::string& target) {
  std::string encoded;
  for (char c : target) {
    if (c == '?' || c == '=' || c == '&' || c == '%') {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
      encoded += escape;
    } else {
      encoded += c;
    }
  }
  return server.url("/redirect?to=" + encoded, host);
}

class InwardRedirectTest : public ::testing::Test {
 protected:
  LinkServer publicServer{0ms, 2s, "198.51.100.7"};
  LinkServer otherPublic{0ms, 2s, "198.51.100.8"};
  LinkServer privateServer{0ms, 2s, "10.11.12.13"};
  LinkServer otherPrivate{0ms, 2s, "10.11.12.14"};
  LinkServer metadata{0ms, 2s, "169.254.169.254"};
  LinkServer loopback{0ms, 2s, "127.0.0.1"};
  std::unique_ptr<LinkServer> privateV6 = haveIPv6 ? std::make_unique<LinkServer>(0ms, 2s, "fd00::1") : nullptr;

  std::string at(const LinkServer& server, const std::string& host, const std::string& path) const {
    return server.url(path, host);
  }
};

TEST_F(InwardRedirectTest, aPublicLink_isNeverLedIntoTheUsersNetwork) {
  const std::string inward(reason::kRedirectInward);
  const std::string pub = "198.51.100.7";
  std::vector<std::string> refused = {
      redirect(publicServer, pub, at(privateServer, "10.11.12.13", "/secret")),
      redirect(publicServer, pub, at(metadata, "169.254.169.254", "/latest/meta-data/")),
      redirect(publicServer, pub, at(loopback, "127.0.0.1", "/admin")),
      redirect(publicServer, pub, at(loopback, "localhost", "/by-name")),
      redirect(publicServer, pub, at(privateServer, "[::ffff:10.11.12.13]", "/mapped")),
      // Two hops: the first to another public server is fine, the second is not.
      redirect(publicServer, pub, redirect(otherPublic, "198.51.100.8", at(privateServer, "10.11.12.13", "/deep"))),
  };
  if (privateV6) refused.push_back(redirect(publicServer, pub, at(*privateV6, "[fd00::1]", "/v6")));
  const std::string allowed = redirect(publicServer, pub, at(otherPublic, "198.51.100.8", "/landing"));
  std::vector<std::string> addresses = refused;
  addresses.push_back(allowed);

  const auto found = checkAll(addresses);
  for (const std::string& address : refused) expectOutcome(found, address, LinkState::Failing, inward);
  expectOutcome(found, allowed, LinkState::Moved, at(otherPublic, "198.51.100.8", "/landing"));

  // Not a connection was even attempted to the refused addresses.
  EXPECT_EQ(privateServer.connections(), 0);
  EXPECT_EQ(metadata.connections(), 0);
  EXPECT_EQ(loopback.connections(), 0);
  if (privateV6) {
    EXPECT_EQ(privateV6->connections(), 0);
  }
  // Asked once each, with HEAD, and not again.
  EXPECT_EQ(publicServer.requests("/redirect"), static_cast<int>(addresses.size()));
  EXPECT_EQ(publicServer.requests("/redirect", "GET"), 0);
  EXPECT_EQ(otherPublic.requests("/landing"), 1);
}

TEST_F(InwardRedirectTest, aLinkIntoTheUsersNetwork_leadsWithinItButNeverToLinkLocal) {
  const std::string inward(reason::kRedirectInward);
  const std::string privateHost = "10.11.12.13";
  const std::string withinPrivate = redirect(privateServer, privateHost, at(otherPrivate, "10.11.12.14", "/inside"));
  const std::string toPublic = redirect(privateServer, privateHost, at(publicServer, "198.51.100.7", "/out"));
  const std::string privateToMetadata = redirect(privateServer, privateHost, at(metadata, "169.254.169.254", "/"));
  const std::string privateToLoopback = redirect(privateServer, privateHost, at(loopback, "127.0.0.1", "/admin"));
  // A link to the user's own machine may lead into the user's network, never to link-local.
  const std::string loopbackToPrivate = redirect(loopback, "127.0.0.1", at(otherPrivate, "10.11.12.14", "/lan"));
  const std::string loopbackToMetadata = redirect(loopback, "127.0.0.1", at(metadata, "169.254.169.254", "/x"));

  const auto found = checkAll(
      {withinPrivate, toPublic, privateToMetadata, privateToLoopback, loopbackToPrivate, loopbackToMetadata});
  expectOutcome(found, withinPrivate, LinkState::Moved, at(otherPrivate, "10.11.12.14", "/inside"));
  expectOutcome(found, toPublic, LinkState::Moved, at(publicServer, "198.51.100.7", "/out"));
  expectOutcome(found, loopbackToPrivate, LinkState::Moved, at(otherPrivate, "10.11.12.14", "/lan"));
  expectOutcome(found, privateToMetadata, LinkState::Failing, inward);
  expectOutcome(found, privateToLoopback, LinkState::Failing, inward);
  expectOutcome(found, loopbackToMetadata, LinkState::Failing, inward);
  EXPECT_EQ(metadata.connections(), 0);
  EXPECT_EQ(loopback.requests("/admin"), 0);
}

TEST_F(InwardRedirectTest, aConnectionKeptAliveFromTheUsersOwnLink_isNoWayIn) {
  // The user's own link to the private server is asked first and leaves its connection open;
  // the public server answers later, with a redirect to the same private server and port.
  LinkServer slowPublic{300ms, 2s, "198.51.100.7"};
  const std::string own = at(privateServer, "10.11.12.13", "/own");
  const std::string stranger = redirect(slowPublic, "198.51.100.7", at(privateServer, "10.11.12.13", "/secret"));
  const auto found = checkAll({own, stranger});
  expectOutcome(found, own, LinkState::Ok, "");
  expectOutcome(found, stranger, LinkState::Failing, reason::kRedirectInward);
  EXPECT_EQ(privateServer.requests("/secret"), 0);
}

// No route out of the test's network: the address is unreachable, which is not a refusal.
TEST(NetworkReasonTest, anUnreachableNetwork_isNotARefusal) {
  const std::string unreachable = "http://203.0.113.9/";
  const std::string refused = "http://198.51.100.7:" + std::to_string(test::refusedPort()) + "/";
  CheckSettings settings;
  settings.retries = 0;
  const auto found = checkAll({unreachable, refused}, settings);
  expectOutcome(found, unreachable, LinkState::Failing, reason::kUnreachable);
  expectOutcome(found, refused, LinkState::Failing, reason::kRefused);
}

}  // namespace
}  // namespace trevanto::check

namespace {

constexpr int kSkipped = 77;
constexpr const char* kInside = "TREVANTO_IN_TEST_NETWORK";

int run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv(kInside) == nullptr) {
    const std::string flag = ::geteuid() == 0 ? "-n" : "-rn";
    if (run("unshare " + flag + " true >/dev/null 2>&1") != 0) {
      std::printf("SKIPPED: a network namespace of the test's own is not allowed here (unshare %s failed); "
                  "the redirect and network tests did not run\n", flag.c_str());
      return kSkipped;
    }
    char self[PATH_MAX] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;
    ::setenv(kInside, "1", 1);
    std::vector<char*> arguments = {const_cast<char*>("unshare"), const_cast<char*>(flag.c_str()),
                                    const_cast<char*>("--"), self};
    for (int i = 1; i < argc; ++i) arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    ::execvp("unshare", arguments.data());
    std::perror("unshare");
    return 1;
  }
  // Inside: the loopback interface up, with the test's addresses on it.
  std::string setup = "ip link set lo up";
  for (const char* address : {"198.51.100.7/32", "198.51.100.8/32", "10.11.12.13/32", "10.11.12.14/32",
                              "169.254.169.254/32"}) {
    setup += std::string(" && ip addr add ") + address + " dev lo";
  }
  if (run(setup) != 0) {
    std::fprintf(stderr, "could not set up the test network (%s)\n", setup.c_str());
    return 1;
  }
  trevanto::check::haveIPv6 = run("ip -6 addr add fd00::1/128 dev lo nodad 2>/dev/null") == 0;
  if (!trevanto::check::haveIPv6) std::printf("note: no IPv6 in the test network; its cases are left out\n");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
