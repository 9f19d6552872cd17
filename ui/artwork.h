// The program's pictures, drawn here rather than shipped as files: the maker's
// logo ("USER_LOGO", 200 x 56) and the program icon ("USER_ICON", 32 x 32).
//
// Threading: user-interface thread (needs the application's fonts).
#ifndef KELVO_UI_ARTWORK_H
#define KELVO_UI_ARTWORK_H

#include <QPalette>
#include <QPixmap>
#include <QString>

namespace kelvo::ui {

// The picture of the named resource, "USER_LOGO" or "USER_ICON"; a null
// pixmap for any other name. It is drawn sharp for `devicePixelRatio` (its
// size in device-independent pixels stays the same), and the logo's lettering
// takes its colours from `palette` so that it reads on a dark window too.
QPixmap LoadBitmapResource(const QString &name, const QPalette &palette = QPalette(),
                           qreal devicePixelRatio = 1.0);

} // namespace kelvo::ui

#endif
