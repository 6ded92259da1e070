// What a connection refuses from its peer, and why: each case is one way a
// broken or hostile peer could get bytes past the edge.
#include <gtest/gtest.h>

#include "net/packet_codec.h"
#include "net/packet_writer.h"
#include "protocol/codec.h"
#include "protocol/packet_stream.h"

namespace {

class PacketStreamRefusal : public ::testing::Test {
protected:
    void SetUp() override {
        server.feed(client.takeOutgoing());
        ASSERT_FALSE(server.next());
        client.feed(server.takeOutgoing());
        ASSERT_FALSE(client.next());
        ASSERT_TRUE(server.ready() && client.ready());
        // A codec that scrambles as the client's does, for hand-made packets.
        const HandshakeKeys keys = handshakeKeysFrom(kBits);
        forged.setMultiples(keys.clientSendMultiple, keys.clientRecvMultiple);
        forged.setSequenceStart(keys.clientSequenceStart);
    }

    // What the server makes of the bytes: the refusal's text, "" if none.
    std::string serverRefuses(const std::string& bytes) {
        server.feed(bytes);
        while (server.next()) {
        }
        return server.refusal() ? server.refusal()->text : "";
    }

    std::string forge(std::uint8_t family, std::uint8_t action, const std::string& fields) {
        PacketWriter packet(action, family);
        packet.addString(fields);
        return forged.encode(packet.get());
    }

    static constexpr std::uint32_t kBits = 0x5A17C0DEu;
    PacketStream server = PacketStream::server(handshakeKeysFrom(kBits));
    PacketStream client = PacketStream::client();
    PacketCodec forged;
};

}  // namespace

TEST_F(PacketStreamRefusal, AWellFormedForgedPacketPasses) {
    // The forging codec matches the client's, so the refusals below are each
    // down to the one thing they change.
    server.feed(forge(6, 1, "\x04\x02"));  // Walk/Request: a run toward facing 3
    const auto message = server.next();
    ASSERT_TRUE(message);
    EXPECT_EQ(std::get<Step>(*message).facing, 3);
    EXPECT_EQ(std::get<Step>(*message).run, 1);
}

TEST_F(PacketStreamRefusal, AnOversizedPacketIsRefusedFromItsLengthBytesAlone) {
    // 4097 in base 253: 4097 = 16 * 253 + 49; the packet's body never comes.
    EXPECT_EQ(serverRefuses(std::string("\x32\x11", 2)),
              "packet of 4097 bytes is over the limit of 4096");
    EXPECT_EQ(server.refusal()->reason, Reason::BrokeProtocol);
}

TEST_F(PacketStreamRefusal, AFieldOutOfRangeIsRefusedWithItsName) {
    EXPECT_EQ(serverRefuses(forge(6, 1, "\x05")), "Step: facing 4 outside 0..3");
}

TEST_F(PacketStreamRefusal, APacketCutShortOrWithBytesLeftOverIsRefused) {
    EXPECT_EQ(serverRefuses(forge(4, 1,
                                  "\x04"
                                  "ab")),
              "Login: the packet ends inside name");
}

TEST_F(PacketStreamRefusal, BytesAfterTheLastFieldAreRefused) {
    EXPECT_EQ(serverRefuses(forge(7, 1, "\x02\x02")), "Turn: bytes after the last field");
}

TEST_F(PacketStreamRefusal, BadNamesAndLongChatAreRefused) {
    EXPECT_EQ(serverRefuses(forge(4, 1,
                                  std::string("\x05"
                                              "a b\x01",
                                              5))),
              "Login: name of 4 characters is not 1..16 letters, digits, _ or -");
}

// A key is either absent or all 32 lower-case hex digits: anything else
// could only be a forgery or a client's mistake, never a key that opens.
TEST_F(PacketStreamRefusal, AKeyIsEmptyOrThirtyTwoLowerCaseHexDigits) {
    const std::string hex = "0123456789abcdef0123456789abcdef";
    const std::string wrong = "Login: key of 32 characters is not 0 or 32 lower-case hex digits";
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {hex, ""},
        {std::string(32, 'A'), wrong},
        {"0123456789abcdef0123456789abcdeg", wrong},
        {hex.substr(0, 31), "Login: key of 31 characters is not 0 or 32 lower-case hex digits"},
    };
    for (const auto& [key, refusal] : cases) {
        server = PacketStream::server(handshakeKeysFrom(kBits));
        client = PacketStream::client();
        forged = PacketCodec();
        SetUp();
        const std::string name = std::string(
            "\x02"
            "a"
            "\x01",
            3);
        EXPECT_EQ(serverRefuses(forge(4, 1, name + char(key.size() + 1) + key)), refusal) << key;
    }
}

TEST_F(PacketStreamRefusal, UnknownMessagesAreRefused) {
    EXPECT_EQ(serverRefuses(forge(28, 19, "")),
              "no such message from a client: UNKNOWN/UNKNOWN (28/19)");
}

TEST_F(PacketStreamRefusal, TheServersMessagesAreRefusedFromAClient) {
    EXPECT_EQ(serverRefuses(forge(27, 3, "\x01")),
              "no such message from a client: AutoRefresh/Reply (27/3)");
}

TEST_F(PacketStreamRefusal, AMissingOrRepeatedPacketBreaksTheSequence) {
    const std::string first = forge(7, 1, "\x02");
    const std::string second = forge(7, 1, "\x02");
    const HandshakeKeys keys = handshakeKeysFrom(kBits);
    const int start = keys.clientSequenceStart;
    EXPECT_EQ(serverRefuses(second), "sequence byte " + std::to_string((start + 2) % 256) +
                                         " where " + std::to_string((start + 1) % 256) +
                                         " was due");
    EXPECT_EQ(serverRefuses(first), serverRefuses(""));  // nothing is read after a refusal
}

TEST_F(PacketStreamRefusal, ASecondFirstExchangeIsRefused) {
    EXPECT_EQ(serverRefuses(forge(1, 255, "\x02\xFE")), "a second first exchange");
}

TEST(PacketStreamFirstExchange, AnythingButHelloFirstIsRefused) {
    PacketStream server = PacketStream::server(handshakeKeysFrom(1));
    PacketWriter packet(1, 6);  // Walk/Request, plain, with a place for the sequence byte
    packet.addChar(1);
    server.feed(packet.get() + "\x01");
    EXPECT_FALSE(server.next());
    ASSERT_TRUE(server.refusal());
    EXPECT_EQ(server.refusal()->text, "the first packet is not the first exchange");
    EXPECT_TRUE(server.takeOutgoing().empty());
}

TEST(PacketStreamFirstExchange, DifferentVersionsAreToldAndRefusedOnBothEnds) {
    PacketStream server = PacketStream::server(handshakeKeysFrom(1));
    const std::string ours = std::to_string(kProtocolVersion);
    server.feed(encodePacket(Hello{static_cast<std::uint16_t>(kProtocolVersion + 5)}));
    EXPECT_FALSE(server.next());
    ASSERT_TRUE(server.refusal());
    EXPECT_EQ(server.refusal()->reason, Reason::VersionsDiffer);
    EXPECT_EQ(
        server.refusal()->text,
        "versions differ: client " + std::to_string(kProtocolVersion + 5) + ", server " + ours);

    PacketStream client = PacketStream::client();
    HelloReply reply;
    reply.version = static_cast<std::uint16_t>(kProtocolVersion + 1);
    client.feed(encodePacket(reply));
    EXPECT_FALSE(client.next());
    ASSERT_TRUE(client.refusal());
    EXPECT_EQ(
        client.refusal()->text,
        "versions differ: server " + std::to_string(kProtocolVersion + 1) + ", client " + ours);
    // The server's reply to the old client still went out: it carries the version.
    EXPECT_FALSE(server.takeOutgoing().empty());
}

TEST(PacketStreamFirstExchange, AClientsMessagesWaitForTheReplyAndThenGoInOrder) {
    PacketStream server = PacketStream::server(handshakeKeysFrom(99));
    PacketStream client = PacketStream::client();
    ASSERT_TRUE(client.send(Login{"bob", "", ""}));
    ASSERT_TRUE(client.send(Say{"first words"}));
    server.feed(client.takeOutgoing());
    EXPECT_FALSE(server.next());
    client.feed(server.takeOutgoing());
    EXPECT_FALSE(client.next());
    server.feed(client.takeOutgoing());
    auto login = server.next();
    auto say = server.next();
    ASSERT_TRUE(login && say);
    EXPECT_EQ(std::get<Login>(*login).name, "bob");
    EXPECT_EQ(std::get<Say>(*say).text, "first words");
}
