// The two name tables of the packet vocabulary.
#include "net/packet_names.h"

#include <iterator>

namespace {

struct PacketName {
    int number;
    const char* name;
};

constexpr PacketName kFamilies[] = {
    {1, "Connection"},     {2, "Account"},  {3, "Character"},    {4, "Login"},
    {5, "Welcome"},        {6, "Walk"},     {7, "Face"},         {8, "Chair"},
    {9, "Emote"},          {11, "Attack"},  {13, "Shop"},        {14, "Item"},
    {16, "StatSkill"},     {17, "Global"},  {18, "Talk"},        {19, "Warp"},
    {21, "Jukebox"},       {22, "Players"}, {23, "Clothes"},     {24, "Party"},
    {25, "Refresh"},       {26, "NPC"},     {27, "AutoRefresh"}, {29, "Appear"},
    {30, "Paperdoll"},     {31, "Effect"},  {32, "Trade"},       {33, "Chest"},
    {34, "Door"},          {35, "Ping"},    {36, "Bank"},        {37, "Locker"},
    {39, "Guild"},         {41, "Sit"},     {43, "Board"},       {45, "Arena"},
    {48, "AdminInteract"}, {49, "Citizen"}, {50, "Quest"},       {51, "Book"},
    {255, "Init"},
};

constexpr PacketName kActions[] = {
    {1, "Request"}, {2, "Accept"},  {3, "Reply"},     {4, "Remove"},  {5, "Agree"},  {6, "Create"},
    {7, "Add"},     {8, "Player"},  {9, "Take"},      {10, "Use"},    {11, "Buy"},   {12, "Sell"},
    {13, "Open"},   {14, "Close"},  {15, "Msg"},      {16, "Spec"},   {17, "Admin"}, {18, "List"},
    {20, "Tell"},   {21, "Report"}, {22, "Announce"}, {23, "Server"}, {24, "Drop"},  {25, "Junk"},
    {27, "Get"},    {240, "Net"},   {241, "Net2"},    {242, "Net3"},  {255, "Init"},
};

template <std::size_t N>
std::string lookUp(const PacketName (&table)[N], int number) {
    for (const PacketName& entry : table) {
        if (entry.number == number) return entry.name;
    }
    return "UNKNOWN";
}

}  // namespace

std::string packetFamilyName(int family) { return lookUp(kFamilies, family); }
std::string packetActionName(int action) { return lookUp(kActions, action); }
