// SPDX-License-Identifier: MIT
// The parts of the network an address may lie in, at the edges of each range, and where a
// redirect may lead from each.
#include "check/address_kind.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace trevanto::check {
namespace {

TEST(AddressKindTest, eachRangeAtItsEdges) {
  const std::vector<std::pair<const char*, AddressKind>> cases = {
      {"8.8.8.8", AddressKind::Public},
      {"9.255.255.255", AddressKind::Public},
      {"10.0.0.0", AddressKind::Private},
      {"10.255.255.255", AddressKind::Private},
      {"11.0.0.0", AddressKind::Public},
      {"172.15.255.255", AddressKind::Public},
      {"172.16.0.0", AddressKind::Private},
      {"172.31.255.255", AddressKind::Private},
      {"172.32.0.0", AddressKind::Public},
      {"192.168.1.1", AddressKind::Private},
      {"192.169.0.1", AddressKind::Public},
      {"100.63.255.255", AddressKind::Public},
      {"100.64.0.0", AddressKind::Private},
      {"100.127.255.255", AddressKind::Private},
      {"100.128.0.0", AddressKind::Public},
      {"127.0.0.1", AddressKind::Loopback},
      {"127.255.0.9", AddressKind::Loopback},
      {"169.254.169.254", AddressKind::LinkLocal},
      {"169.253.0.1", AddressKind::Public},
      {"0.0.0.0", AddressKind::Unspecified},
      {"0.1.2.3", AddressKind::Unspecified},
      {"224.0.0.1", AddressKind::Multicast},
      {"239.255.255.255", AddressKind::Multicast},
      {"240.0.0.1", AddressKind::Reserved},
      {"255.255.255.255", AddressKind::Reserved},
      {"2001:db8::1", AddressKind::Public},
      {"::", AddressKind::Unspecified},
      {"::1", AddressKind::Loopback},
      {"::2", AddressKind::Public},
      {"fc00::1", AddressKind::Private},
      {"fdff:ffff::1", AddressKind::Private},
      {"fe80::1", AddressKind::LinkLocal},
      {"fe80::1%lo", AddressKind::LinkLocal},
      {"febf::1", AddressKind::LinkLocal},
      {"fec0::1", AddressKind::Private},
      {"ff02::1", AddressKind::Multicast},
      {"::ffff:10.0.0.1", AddressKind::Private},
      {"::ffff:169.254.169.254", AddressKind::LinkLocal},
      {"::ffff:127.0.0.1", AddressKind::Loopback},
      {"::ffff:8.8.8.8", AddressKind::Public},
      {"64:ff9b::a9fe:a9fe", AddressKind::LinkLocal},
      {"localhost", AddressKind::Reserved},
      {"", AddressKind::Reserved},
  };
  for (const auto& [text, kind] : cases) EXPECT_EQ(kindOfAddress(text), kind) << text;
}

TEST(AddressKindTest, aRedirectLeadsNoFurtherInThanTheLinksOwnAddress) {
  using enum AddressKind;
  const std::vector<AddressKind> all = {Public, Private, Loopback, LinkLocal, Unspecified, Multicast, Reserved};
  for (AddressKind from : all) {
    EXPECT_TRUE(mayRedirect(from, Public));
    for (AddressKind to : {Unspecified, Multicast, Reserved}) EXPECT_FALSE(mayRedirect(from, to));
  }
  EXPECT_FALSE(mayRedirect(Public, Private));
  EXPECT_FALSE(mayRedirect(Public, Loopback));
  EXPECT_FALSE(mayRedirect(Public, LinkLocal));
  EXPECT_TRUE(mayRedirect(Private, Private));
  EXPECT_FALSE(mayRedirect(Private, Loopback));
  EXPECT_FALSE(mayRedirect(Private, LinkLocal));
  EXPECT_TRUE(mayRedirect(Loopback, Private));
  EXPECT_TRUE(mayRedirect(Loopback, Loopback));
  EXPECT_FALSE(mayRedirect(Loopback, LinkLocal));
  EXPECT_TRUE(mayRedirect(LinkLocal, LinkLocal));
  EXPECT_FALSE(mayRedirect(LinkLocal, Private));
}

}  // namespace
}  // namespace trevanto::check
