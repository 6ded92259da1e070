// Whole-bitmap copies through glCopyImageSubData where the driver has it.
#include "render/bitmap_copy.h"

#include <allegro5/allegro_opengl.h>

namespace {

using CopyImageFn = void (*)(GLuint, GLenum, GLint, GLint, GLint, GLint, GLuint, GLenum, GLint,
                             GLint, GLint, GLint, GLsizei, GLsizei, GLsizei);

CopyImageFn copyImageFunction() {
    ALLEGRO_DISPLAY* display = al_get_current_display();
    if (display == nullptr || !(al_get_display_flags(display) & ALLEGRO_OPENGL)) return nullptr;
    if (!al_have_opengl_extension("GL_ARB_copy_image")) return nullptr;
    return reinterpret_cast<CopyImageFn>(al_get_opengl_proc_address("glCopyImageSubData"));
}

bool isWholeTexture(ALLEGRO_BITMAP* bitmap) {
    return !(al_get_bitmap_flags(bitmap) & ALLEGRO_MEMORY_BITMAP) && !al_is_sub_bitmap(bitmap) &&
           al_get_opengl_texture(bitmap) != 0;
}

bool sameTextures(ALLEGRO_BITMAP* a, ALLEGRO_BITMAP* b) {
    int aw = 0, ah = 0, bw = 0, bh = 0;
    return al_get_opengl_texture_size(a, &aw, &ah) && al_get_opengl_texture_size(b, &bw, &bh) &&
           aw == bw && ah == bh && al_get_bitmap_format(a) == al_get_bitmap_format(b);
}

bool copyTexture(ALLEGRO_BITMAP* from, ALLEGRO_BITMAP* to) {
    if (!isWholeTexture(from) || !isWholeTexture(to) || !sameTextures(from, to)) return false;
    const CopyImageFn copy = copyImageFunction();
    if (copy == nullptr) return false;
    int w = 0, h = 0;
    al_get_opengl_texture_size(from, &w, &h);
    copy(al_get_opengl_texture(from), GL_TEXTURE_2D, 0, 0, 0, 0, al_get_opengl_texture(to),
         GL_TEXTURE_2D, 0, 0, 0, 0, w, h, 1);
    return true;
}

}  // namespace

void copyWholeBitmap(ALLEGRO_BITMAP* from, ALLEGRO_BITMAP* to) {
    if (copyTexture(from, to)) return;
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_BLENDER);
    al_set_target_bitmap(to);
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_ZERO);
    al_draw_bitmap(from, 0, 0, 0);
    al_restore_state(&state);
}
