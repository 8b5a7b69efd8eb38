#include "app/Pictures.h"

QIcon ProgramPicture(int index) {
  QIcon icon;
  for (int scale : {1, 2}) icon.addFile(QStringLiteral(":/icons/image%1@%2x.png").arg(index).arg(scale));
  return icon;
}
