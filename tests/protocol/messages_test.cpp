// Every message there and back, through the handshake and the codec of a
// connected pair, and the table's numbers against the packet vocabulary.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include <zlib.h>

#include "net/packet_names.h"
#include "net/packet_writer.h"
#include "protocol/codec.h"
#include "protocol/packet_stream.h"

namespace {

PlayerInfo alice() { return PlayerInfo{3, "alice_2-B", 299, 0, 7, 3, 6, 1, 4}; }

Clocks evening() { return Clocks{16320, 5, 80, 1, 2, 1, 15, 3, 201, 300}; }

// A piece of cells drawn at random: the least compression can do with it.
Piece scattered() {
    Piece piece;
    piece.px = piece.py = kMostPieces - 1;
    std::mt19937 random(5);
    for (auto& cell : piece.cells) cell = static_cast<std::uint8_t>(random() % (kLastBlock + 1));
    return piece;
}

// One message of every kind, filled to the edges of its ranges.
std::vector<Message> everyMessage() {
    Welcome welcome;
    welcome.self = alice();
    welcome.slot = 8;
    welcome.hotbar = {1, 6, 2, 4, 13, 18, 19, 5, 22};
    for (std::size_t i = 0; i < welcome.stock.size(); ++i) welcome.stock[i] = i * 700000;
    welcome.clocks = evening();
    welcome.columns = 300;
    welcome.rows = 1;
    Update update;
    update.cells = {{0, 299, 19, 22}, {5, 5, 0, 0}};
    update.moves = {{249, MoveKind::Place, 1, 299, 3, 2},
                    {0, MoveKind::Run, 0, 0, 0, 0},
                    {2, MoveKind::OutOfSight, 280, 7, 19, 3}};
    update.sheets = {{7, 4}};
    update.looks = {{7, 6, 1}};
    update.stock = {{Lava, 16194276}};
    update.clocks = evening();
    Update stepOnly;
    stepOnly.moves = {{1, MoveKind::Turn, 4, 4, 4, 1}};
    return {Hello{},
            HelloReply{1, 66, 126, 0, 255},
            Leave{Reason::Kicked, "no lava on the spawn, please!"},
            Login{"Zed-9_x", " any printable ~", "0123456789abcdef0123456789abcdef"},
            welcome,
            scattered(),
            Forget{{{0, 14}, {14, 0}}},
            PieceRequest{{3, 4}},
            PlayerList{{alice(), PlayerInfo{0, "b", 0, 0, 0, 0, 0, 0, 1}}},
            PlayerJoined{alice()},
            PlayerLeft{249, Reason::TooFast},
            update,
            stepOnly,
            Step{3, 1},
            JumpMode{0},
            Turn{2},
            Use{1, 8, 0},
            ChangeLooks{6, 1},
            Rest{1},
            Say{std::string(200, 'w')},
            ChatLine{"abcdefghijklmnop", "hi"},
            Announcement{"server restarts at noon"},
            Ping{4097152080u},
            Pong{0}};
}

Sender senderOf(const Message& m) { return rowOf(m).sender; }

// Moves what one end has queued to the other and reads it there.
std::vector<Message> deliver(PacketStream& from, PacketStream& to) {
    to.feed(from.takeOutgoing());
    std::vector<Message> received;
    while (auto message = to.next()) received.push_back(*message);
    return received;
}

}  // namespace

TEST(ProtocolMessages, EveryMessageArrivesAsItWasSentOverAScrambledConnection) {
    PacketStream server = PacketStream::server(handshakeKeysFrom(0x9C41F733u));
    PacketStream client = PacketStream::client();
    deliver(client, server);
    deliver(server, client);
    ASSERT_TRUE(server.ready() && client.ready());

    std::set<std::size_t> kinds;
    for (const Message& message : everyMessage()) {
        if (rowOf(message).id.action == Action::Init) continue;  // the first exchange's own
        const Sender by = senderOf(message);
        PacketStream& from = by == Sender::Server ? server : client;
        PacketStream& to = by == Sender::Server ? client : server;
        ASSERT_TRUE(from.send(message)) << rowOf(message).name;
        const std::vector<Message> got = deliver(from, to);
        ASSERT_EQ(got.size(), 1u) << rowOf(message).name;
        EXPECT_TRUE(got[0] == message) << rowOf(message).name;
        kinds.insert(message.index());
    }
    EXPECT_EQ(kinds.size(), messageTable().size() - 2);  // all but Hello and HelloReply
    EXPECT_FALSE(server.refusal() || client.refusal());
}

TEST(ProtocolMessages, LengthBytesSurviveTheScramblingWithEveryMultiple) {
    // A short piece, a middling one and the largest, under every multiple the
    // handshake may hand out.
    for (std::uint32_t multiple = 0; multiple < 61; ++multiple) {
        PacketStream server = PacketStream::server(handshakeKeysFrom(multiple * 0x101u));
        PacketStream client = PacketStream::client();
        deliver(client, server);
        deliver(server, client);
        for (std::size_t scatteredCells : {1, 4000, 8000}) {
            Piece piece = scattered();
            for (std::size_t i = scatteredCells; i < kPieceCells; ++i) piece.cells[i] = 0;
            ASSERT_TRUE(server.send(piece));
            ASSERT_EQ(deliver(server, client).size(), 1u) << multiple << " " << scatteredCells;
        }
        ASSERT_FALSE(client.refusal()) << client.refusal()->text;
    }
}

TEST(ProtocolMessages, TheFirstExchangeHasFixedBytes) {
    // Length 4 (id and version, no sequence byte), Connection, Init, version 5.
    EXPECT_EQ(encodePacket(Hello{}), std::string("\x05\xFE\x01\xFF\x06\xFE", 6));
}

TEST(ProtocolMessages, TheTableUsesTheNamesOfThePacketVocabulary) {
    for (const MessageRow& row : messageTable()) {
        EXPECT_NE(packetFamilyName(static_cast<int>(row.id.family)), "UNKNOWN") << row.name;
        EXPECT_NE(packetActionName(static_cast<int>(row.id.action)), "UNKNOWN") << row.name;
        for (const MessageRow& other : messageTable()) {
            if (&row != &other && row.id == other.id) {
                // Only the first exchange shares an id, one for each direction.
                EXPECT_TRUE(row.id.action == Action::Init && row.sender != other.sender);
            }
        }
    }
    EXPECT_EQ(packetFamilyName(static_cast<int>(Family::AutoRefresh)), "AutoRefresh");
    EXPECT_EQ(packetActionName(static_cast<int>(Action::Announce)), "Announce");
}

TEST(ProtocolMessages, OwnMessagesOutsideTheirRangesAreNotSent) {
    PacketStream server = PacketStream::server(handshakeKeysFrom(7));
    PacketStream client = PacketStream::client();
    deliver(client, server);
    deliver(server, client);
    EXPECT_FALSE(client.send(Say{std::string(201, 'a')}));
    EXPECT_FALSE(client.send(Login{"seventeen_letters", "", ""}));
    EXPECT_FALSE(client.send(Login{"tab\there", "", ""}));
    EXPECT_FALSE(client.send(Update{}));  // the server's to send
    Welcome welcome;
    welcome.hotbar.pop_back();
    EXPECT_FALSE(server.send(welcome));
    Update update;
    update.cells.assign(kMostCellChanges + 1, CellChange{});
    EXPECT_FALSE(server.send(update));
    EXPECT_TRUE(client.takeOutgoing().empty() && server.takeOutgoing().empty());
}

TEST(ProtocolMessages, APieceAtAWorldsCornerCarriesOnlyTheWorldsCells) {
    static WorldGrid source, copy;
    setCell(20, 20, 0, Lava);  // the global world is not used: pieceOf reads its argument
    // A world of 30 x 25 columns: its last piece holds 10 x 5 of them.
    source.cells[cellIndex(29, 24, 19)] = Ice;
    source.cells[cellIndex(20, 20, 0)] = Sand;
    source.cells[cellIndex(21, 22, 5)] = 99;     // a hand-edited value travels as empty
    source.cells[cellIndex(30, 20, 0)] = Grass;  // past the world's edge
    source.cells[cellIndex(20, 25, 0)] = Grass;
    const Piece piece = pieceOf(source, 1, 1, 30, 25);
    EXPECT_EQ(piece.cells[pieceIndex(9, 4, 19)], Ice);
    EXPECT_EQ(piece.cells[pieceIndex(0, 0, 0)], Sand);
    EXPECT_EQ(piece.cells[pieceIndex(1, 2, 5)], Empty);
    EXPECT_EQ(piece.cells[pieceIndex(10, 0, 0)], Empty);
    EXPECT_EQ(piece.cells[pieceIndex(0, 5, 0)], Empty);
    copy.cells[cellIndex(30, 20, 0)] = Brick;  // past the edge: the piece leaves it alone
    applyPiece(piece, copy, 30, 25);
    EXPECT_EQ(cellOf(copy, 29, 24, 19), Ice);
    EXPECT_EQ(cellOf(copy, 20, 20, 0), Sand);
    EXPECT_EQ(cellOf(copy, 30, 20, 0), Brick);
    EXPECT_EQ(cellOf(copy, 19, 19, 0), Empty);  // another piece's
}

TEST(ProtocolMessages, APieceWhoseCompressedCellsAreNotExactlyAPieceIsRefused) {
    const auto refusal = [](const std::string& packed) {
        PacketWriter packet;
        packet.addChar(0);
        packet.addChar(0);
        packet.addShort(static_cast<std::uint16_t>(packed.size()));
        packet.addString(packed);
        const Decoded back = decodeMessage(Piece::kId, packet.get().substr(4), Sender::Server);
        const auto* problem = std::get_if<std::string>(&back);
        return problem ? *problem : std::string("taken");
    };
    const std::string whole = encodePacket(scattered()).substr(8);  // past id, places, length
    ASSERT_EQ(refusal(whole), "taken");
    EXPECT_NE(refusal(whole.substr(0, whole.size() - 1)), "taken");  // cut short
    EXPECT_NE(refusal(whole + "x"), "taken");                        // bytes after the stream
    EXPECT_NE(refusal("not zlib at all"), "taken");
    std::string blocks(kPieceCells, static_cast<char>(kLastBlock + 1));
    uLongf length = compressBound(blocks.size());
    std::string bomb(length, '\0');
    compress2(reinterpret_cast<Bytef*>(bomb.data()), &length,
              reinterpret_cast<const Bytef*>(blocks.data()), blocks.size(), 9);
    bomb.resize(length);
    EXPECT_NE(refusal(bomb), "taken");  // a block no game has
    const auto allOf = [](BlockId value) {
        const std::string cells(kPieceCells, static_cast<char>(value));
        uLongf size = compressBound(cells.size());
        std::string packed(size, '\0');
        compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                  reinterpret_cast<const Bytef*>(cells.data()), cells.size(), 9);
        packed.resize(size);
        return packed;
    };
    EXPECT_EQ(refusal(allOf(streamOf(Lava, kLavaReach, 1))), "taken");   // a draining lava stream
    EXPECT_NE(refusal(allOf(streamOf(Lava, kLavaReach + 1))), "taken");  // runs too far for lava
    EXPECT_NE(refusal(allOf(streamOf(Water, 0) | 0x08)), "taken");
    std::string more(16 * kPieceCells, '\1');
    length = compressBound(more.size());
    std::string big(length, '\0');
    compress2(reinterpret_cast<Bytef*>(big.data()), &length,
              reinterpret_cast<const Bytef*>(more.data()), more.size(), 9);
    big.resize(length);
    EXPECT_NE(refusal(big), "taken");  // unfolds past a piece
}

TEST(ProtocolMessages, TheDocumentedTableIsTheCodesTable) {
    std::ifstream doc(TESSARIA_SOURCE_DIR "/docs/protocol.md");
    ASSERT_TRUE(doc);
    std::vector<std::string> documented;
    std::string line;
    while (std::getline(doc, line)) {
        // | name | Family/Action | 1/255 | C | ... : the rows of the message table
        std::vector<std::string> cells;
        std::stringstream row(line);
        std::string cell;
        while (std::getline(row, cell, '|')) cells.push_back(cell);
        if (cells.size() < 7 || cells[3].find_first_not_of(" 0123456789/") != std::string::npos ||
            cells[3].find('/') == std::string::npos)
            continue;
        documented.push_back(cells[1] + "|" + cells[3] + "|" + cells[4]);
    }
    std::vector<std::string> coded;
    for (const MessageRow& row : messageTable()) {
        const char* sender = row.sender == Sender::Client   ? "C"
                             : row.sender == Sender::Server ? "S"
                                                            : "C/S";
        coded.push_back(" " + std::string(row.name) + " | " +
                        std::to_string(static_cast<int>(row.id.family)) + "/" +
                        std::to_string(static_cast<int>(row.id.action)) + " | " + sender + " ");
    }
    EXPECT_EQ(documented, coded);
}
