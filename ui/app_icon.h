// The application icon: a small table sheet, drawn in code so the program needs no icon
// files at run time.
#pragma once

#include <QIcon>

namespace tabulor {

const QIcon& applicationIcon();

}  // namespace tabulor
