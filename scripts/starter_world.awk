# The starter world: grass over earth and stone, a pond with a beach, a lava
# pool in a cobble ring, a brick house with a glass window, trees, a marble
# and terracotta terrace, and a dug pit showing ore. Written in the world
# file's format: 8,000 cell lines in level-major order, then the player lines.
# Usage: awk -f scripts/starter_world.awk > data/world/world.ini
function block(x, y, l) {
        if (l >= 17) return (x * 7 + y * 3 + l) % 11 == 0 ? 15 : ((x + y + l) % 13 == 0 ? 20 : 2)
        # the pit: opened down to level 15, its walls showing ore
        if (x >= 12 && x <= 13 && y >= 6 && y <= 7) return l >= 16 ? 9 : 0
        if (l >= 13) return (l >= 15 && (x + 2 * y) % 9 == 0) ? 16 : 6
        if (l == 12) {
            if (x >= 13 && x <= 16 && y >= 9 && y <= 11) return 5                 # pond
            if (x >= 12 && x <= 17 && y >= 8 && y <= 12) return 7                 # beach
            if (x >= 6 && x <= 7 && y >= 12 && y <= 13) return 8                  # lava pool
            if (x >= 5 && x <= 8 && y >= 11 && y <= 14) return 2                  # its ring
            if (x == 11 && y == 10) return 8                                      # a vent by the player
            if (y == 10 && x <= 9 || x == 10 && y <= 9) return 9                  # gravel paths
            return 1
        }
        # the house, walls on levels 9..11, a plank roof on 8
        if (x >= 4 && x <= 7 && y >= 4 && y <= 7) {
            if (l == 8) return 4
            if (l >= 9 && l <= 11) {
                if (x > 4 && x < 7 && y > 4 && y < 7) return 0
                if (l == 10 && (x == 6 && y == 7 || x == 7 && y == 5)) return 14
                if (l == 11 && x == 7 && y == 6) return 0                          # the door
                if (l == 10 && x == 7 && y == 6) return 0
                return 13
            }
        }
        # a terrace of marble with a terracotta rim
        if (x >= 13 && x <= 15 && y >= 13 && y <= 15 && l == 11) return (x == 14 && y == 14) ? 18 : 19
        if (x == 14 && y == 14 && l == 10) return 22
        # trees
        if ((x == 9 && y == 4 || x == 15 && y == 5 || x == 3 && y == 10 || x == 17 && y == 14) && l >= 9 && l <= 11) return 11
        if ((x == 8 && y == 14) && l == 11) return 3
        if ((x == 8 && y == 14) && l == 10) return 21
        for (t = 0; t < 4; t++) {
            tx = t == 0 ? 9 : t == 1 ? 15 : t == 2 ? 3 : 17
            ty = t == 0 ? 4 : t == 1 ? 5 : t == 2 ? 10 : 14
            dx = x - tx; dy = y - ty
            if (l == 8 && dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1) return 12
            if (l == 7 && dx * dx + dy * dy <= 1) return 12
            if (l == 9 && (dx * dx + dy * dy == 1)) return 0
        }
        return 0
    }
    BEGIN {
        for (l = 0; l < 20; l++) for (y = 0; y < 20; y++) for (x = 0; x < 20; x++)
            printf "%d.%d[%d] = %d\n", x, y, l, block(x, y, l)
        print "p_x = 10"; print "p_y = 10"
    }
