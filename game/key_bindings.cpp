// The key bound to each action, the names keys go by, and the keys read as
// an intent.
#include "game/key_bindings.h"

KeyBindings keyBindings;

namespace {

KeyNameFn nameFn = nullptr;
KeyNamedFn namedFn = nullptr;

// The defaults table and the record's initial keys are written out twice;
// they must agree.
constexpr bool defaultsAgree() {
    const KeyBindings defaults;
    for (int action = 0; action < kActionCount; ++action)
        if (defaults.key[action] != kActionKeys[action].defaultKey) return false;
    return true;
}
static_assert(defaultsAgree());

// Digit keys in the order they are tried: 8 wins over 7 and so on down to
// 1, then 0 (slot 0 like 1), then 9.
struct SlotKey {
    int key;
    int slot;
};
constexpr SlotKey kSlotKeys[] = {
    {Key1 + 7, 7}, {Key1 + 6, 6}, {Key1 + 5, 5}, {Key1 + 4, 4}, {Key1 + 3, 3},
    {Key1 + 2, 2}, {Key1 + 1, 1}, {Key1, 0},     {Key0, 0},     {Key9, 8},
};

}  // namespace

int boundKey(Action action) { return keyBindings.key[static_cast<int>(action)]; }

bool isRebound(Action action) {
    return boundKey(action) != kActionKeys[static_cast<int>(action)].defaultKey;
}

void setKeyNames(KeyNameFn nameOf, KeyNamedFn keyNamed) {
    nameFn = nameOf;
    namedFn = keyNamed;
}

std::string keyName(int key) { return nameFn != nullptr ? nameFn(key) : std::string(); }

int keyNamed(const std::string& name) { return namedFn != nullptr ? namedFn(name) : -1; }

PlayerIntent intentFromKeys(KeyDownFn keyDown) {
    PlayerIntent intent;
    if (keyDown == nullptr) return intent;
    const auto down = [&](Action action) { return keyDown(boundKey(action)); };
    intent.walkUp = down(Action::WalkUp);
    intent.walkDown = down(Action::WalkDown);
    intent.walkLeft = down(Action::WalkLeft);
    intent.walkRight = down(Action::WalkRight);
    intent.mine = down(Action::Mine);
    intent.place = down(Action::Place);
    intent.height = down(Action::Height);
    intent.autoJump = down(Action::AutoJump);
    intent.rest = down(Action::Rest);
    intent.look1 = down(Action::Look1);
    intent.look2 = down(Action::Look2);
    intent.run = down(Action::Run);
    for (const SlotKey& slotKey : kSlotKeys) {
        if (keyDown(slotKey.key)) {
            intent.slot = slotKey.slot;
            break;
        }
    }
    return intent;
}
