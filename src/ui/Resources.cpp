#include "ui/Resources.h"

#include <QtCore/qglobal.h>

static void InitTavroResources() { Q_INIT_RESOURCE(tavro); }

namespace tavro {

void RegisterResources() {
  static const bool registered = [] {
    InitTavroResources();
    return true;
  }();
  (void)registered;
}

}  // namespace tavro
