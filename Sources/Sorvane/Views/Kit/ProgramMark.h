#pragma once

#include <QIcon>
#include <QImage>

namespace sorvane {

// The program's one mark, the kit's brand mark (BrandMark.qml): signal-coloured voice
// bars on a rounded ink tile. The installed icons, the window icon and the
// notifications all show it; the tray shows its one-colour form (TrayGlyph).
namespace ProgramMark {

// The mark on a transparent square of `size` pixels, the tile inset as icon themes
// draw application icons (8/128 of the size on each side).
QImage image(int size);
// The installed icon by its theme name, else the drawn mark at the usual sizes.
QIcon icon();

} // namespace ProgramMark

} // namespace sorvane
