// Ipv4Address: dotted quads in and out, ordering, and name lookup.
#include <gtest/gtest.h>

#include <cstring>

#include "net/ipv4_address.h"

TEST(SocketAddressParsing, DottedQuadGivesTheHostOrderValueAndPrintsBack) {
    const Ipv4Address address("10.0.0.1");
    EXPECT_EQ(address.value(), 0x0A000001u);
    EXPECT_EQ(address.toString(), "10.0.0.1");
}

TEST(SocketAddressParsing, ComponentsKeepOnlyTheirLowEightBits) {
    EXPECT_EQ(Ipv4Address("1.2.3.300").toString(), "1.2.3.44");
    EXPECT_EQ(Ipv4Address(std::string("256.511.0.1")).toString(), "0.255.0.1");
}

TEST(SocketAddressParsing, MissingComponentsCountAsZero) {
    EXPECT_EQ(Ipv4Address("").value(), 0u);
    EXPECT_EQ(Ipv4Address(std::string("10.1")).toString(), "10.1.0.0");
    EXPECT_EQ(Ipv4Address("garbage").value(), 0u);
}

TEST(SocketAddressParsing, ComponentsAreReadAsUnsignedNumbersWithBlanksAndASign) {
    EXPECT_EQ(Ipv4Address(" 10. 0.+0.1").toString(), "10.0.0.1");
    EXPECT_EQ(Ipv4Address("-1.2.3.4").toString(), "255.2.3.4");
    EXPECT_EQ(Ipv4Address("1.2.3.4 and more").toString(), "1.2.3.4");
    EXPECT_EQ(Ipv4Address("10 .1.1.1").toString(), "10.0.0.0");
}

TEST(SocketAddressParsing, ComponentAboveThirtyTwoBitsEndsTheParseLikeMalformedText) {
    EXPECT_EQ(Ipv4Address("4294967296.1.1.1").value(), 0u);
    EXPECT_EQ(Ipv4Address("10.4294967296.1.1").toString(), "10.0.0.0");
    EXPECT_EQ(Ipv4Address(std::string("1.2.3.99999999999999999999999")).toString(), "1.2.3.0");
    EXPECT_EQ(Ipv4Address("18446744073709551617.1.1.1").value(), 0u);
}

TEST(SocketAddressParsing, LargestThirtyTwoBitComponentKeepsItsLowEightBits) {
    EXPECT_EQ(Ipv4Address("4294967295.1.1.1").toString(), "255.1.1.1");
    EXPECT_EQ(Ipv4Address("000000000000000000004.3.2.1").toString(), "4.3.2.1");
}

TEST(SocketAddressParsing, NullTextIsTheZeroAddress) {
    const char* none = nullptr;
    EXPECT_EQ(Ipv4Address(none).value(), 0u);
}

TEST(SocketAddressParsing, AssignmentParsesTextAndTakesValues) {
    Ipv4Address address;
    address = "192.168.0.7";
    EXPECT_EQ(address.value(), 0xC0A80007u);
    address = std::string("8.8.4.4");
    EXPECT_EQ(address.toString(), "8.8.4.4");
    address = 0x7F000001u;
    EXPECT_EQ(address.toString(), "127.0.0.1");
}

TEST(SocketAddressForms, FourBytesPutTheFirstInTheTopByte) {
    EXPECT_EQ(Ipv4Address(192, 168, 1, 2).value(), 0xC0A80102u);
    EXPECT_EQ(Ipv4Address().toString(), "0.0.0.0");
    EXPECT_EQ(Ipv4Address(255, 255, 255, 255).toString(), "255.255.255.255");
}

TEST(SocketAddressForms, NetworkOrderPutsTheFirstComponentFirstInMemory) {
    const std::uint32_t wire = Ipv4Address(10, 20, 30, 40).toNetworkOrder();
    unsigned char bytes[4];
    std::memcpy(bytes, &wire, sizeof bytes);
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[1], 20);
    EXPECT_EQ(bytes[2], 30);
    EXPECT_EQ(bytes[3], 40);
}

TEST(SocketAddressForms, InAddrIsReadInNetworkOrder) {
    in_addr wire{};
    const unsigned char bytes[4] = {172, 16, 5, 9};
    std::memcpy(&wire.s_addr, bytes, sizeof bytes);
    EXPECT_EQ(Ipv4Address(wire).toString(), "172.16.5.9");
}

TEST(SocketAddressOrdering, ComparesHostOrderValuesUnsigned) {
    EXPECT_TRUE(Ipv4Address(192, 168, 1, 2) < Ipv4Address(200, 0, 0, 0));
    EXPECT_FALSE(Ipv4Address(200, 0, 0, 0) < Ipv4Address(192, 168, 1, 2));
    EXPECT_TRUE(Ipv4Address(127, 255, 255, 255) < Ipv4Address(128, 0, 0, 0));
    EXPECT_FALSE(Ipv4Address(1, 2, 3, 4) < Ipv4Address(1, 2, 3, 4));
    EXPECT_TRUE(Ipv4Address("1.2.3.300") == Ipv4Address(1, 2, 3, 44));
}

TEST(SocketAddressLookup, LocalhostIsTheLoopbackAddress) {
    EXPECT_EQ(Ipv4Address::resolve("localhost").toString(), "127.0.0.1");
}

TEST(SocketAddressLookup, NumericTextResolvesToItself) {
    EXPECT_EQ(Ipv4Address::resolve("10.9.8.7").toString(), "10.9.8.7");
}

TEST(SocketAddressLookup, UnknownNameGivesTheZeroAddress) {
    EXPECT_EQ(Ipv4Address::resolve("no-such-host.invalid").value(), 0u);
    EXPECT_EQ(Ipv4Address::resolve("").value(), 0u);
}
