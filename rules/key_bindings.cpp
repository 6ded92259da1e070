// The key bound to each action, and the names keys go by.
#include "rules/key_bindings.h"

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
