// The program's pictures, drawn here rather than shipped as files: the maker's
// logo ("USER_LOGO", 200 x 56) and the program icon ("USER_ICON", 32 x 32).
//
// Threading: user-interface thread (needs the application's fonts).
#ifndef KELVO_UI_ARTWORK_H
#define KELVO_UI_ARTWORK_H

#include <QPixmap>
#include <QString>

namespace kelvo::ui {

// The picture of the named resource, "USER_LOGO" or "USER_ICON"; a null
// pixmap for any other name.
QPixmap LoadBitmapResource(const QString &name);

} // namespace kelvo::ui

#endif
