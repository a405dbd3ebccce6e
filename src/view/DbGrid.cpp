#include "view/DbGrid.h"

namespace toponyx::desktop {

void TDBGrid::keyboardSearch(const QString& search) {
  emit TextTyped(search);
}

}  // namespace toponyx::desktop
