#pragma once

#include <QIcon>

// Picture `index` of the program: 0 the program's own, then the toolbar's. They come
// drawn from their scalable sources at the build, at their size and at twice it for
// dense screens.
QIcon ProgramPicture(int index);
