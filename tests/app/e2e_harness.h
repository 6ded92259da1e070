// End-to-end test support in one include: a private X server, the real game
// binary in a prepared run folder, the keyboard, mouse and window as a player
// uses them, what the screen shows, and world files.
#pragma once

#include "app/game_process.h"
#include "app/game_window.h"
#include "app/run_folder.h"
#include "app/screen.h"
#include "app/world_files.h"
#include "app/x_input.h"
#include "app/x_server.h"
#include "support/bmp_file.h"
#include "support/files.h"
#include "support/waiting.h"
