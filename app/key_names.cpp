// The names are the ALLEGRO_KEY_ constants without their prefix.
#include "app/key_names.h"

#include <allegro5/allegro.h>
#include <strings.h>

namespace {

struct NamedKey {
    const char* name;
    int key;
};

#define KEY(name) \
    { #name, ALLEGRO_KEY_##name }
constexpr NamedKey kAllegroKeys[] = {
    KEY(A),          KEY(B),           KEY(C),
    KEY(D),          KEY(E),           KEY(F),
    KEY(G),          KEY(H),           KEY(I),
    KEY(J),          KEY(K),           KEY(L),
    KEY(M),          KEY(N),           KEY(O),
    KEY(P),          KEY(Q),           KEY(R),
    KEY(S),          KEY(T),           KEY(U),
    KEY(V),          KEY(W),           KEY(X),
    KEY(Y),          KEY(Z),           KEY(0),
    KEY(1),          KEY(2),           KEY(3),
    KEY(4),          KEY(5),           KEY(6),
    KEY(7),          KEY(8),           KEY(9),
    KEY(PAD_0),      KEY(PAD_1),       KEY(PAD_2),
    KEY(PAD_3),      KEY(PAD_4),       KEY(PAD_5),
    KEY(PAD_6),      KEY(PAD_7),       KEY(PAD_8),
    KEY(PAD_9),      KEY(F1),          KEY(F2),
    KEY(F3),         KEY(F4),          KEY(F5),
    KEY(F6),         KEY(F7),          KEY(F8),
    KEY(F9),         KEY(F10),         KEY(F11),
    KEY(F12),        KEY(ESCAPE),      KEY(TILDE),
    KEY(MINUS),      KEY(EQUALS),      KEY(BACKSPACE),
    KEY(TAB),        KEY(OPENBRACE),   KEY(CLOSEBRACE),
    KEY(ENTER),      KEY(SEMICOLON),   KEY(QUOTE),
    KEY(BACKSLASH),  KEY(BACKSLASH2),  KEY(COMMA),
    KEY(FULLSTOP),   KEY(SLASH),       KEY(SPACE),
    KEY(INSERT),     KEY(DELETE),      KEY(HOME),
    KEY(END),        KEY(PGUP),        KEY(PGDN),
    KEY(LEFT),       KEY(RIGHT),       KEY(UP),
    KEY(DOWN),       KEY(PAD_SLASH),   KEY(PAD_ASTERISK),
    KEY(PAD_MINUS),  KEY(PAD_PLUS),    KEY(PAD_DELETE),
    KEY(PAD_ENTER),  KEY(PRINTSCREEN), KEY(PAUSE),
    KEY(PAD_EQUALS), KEY(BACKQUOTE),   KEY(SEMICOLON2),
    KEY(COMMAND),    KEY(LSHIFT),      KEY(RSHIFT),
    KEY(LCTRL),      KEY(RCTRL),       KEY(ALT),
    KEY(ALTGR),      KEY(LWIN),        KEY(RWIN),
    KEY(MENU),       KEY(SCROLLLOCK),  KEY(NUMLOCK),
    KEY(CAPSLOCK),
};
#undef KEY

}  // namespace

int keyByAllegroName(const std::string& name) {
    for (const NamedKey& entry : kAllegroKeys)
        if (strcasecmp(name.c_str(), entry.name) == 0) return entry.key;
    return -1;
}
