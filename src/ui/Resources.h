#pragma once
// The program's pictures (About box, window icon) are compiled into the ui
// library; a static library has to register them before first use.

namespace tavro {

void RegisterResources();

}  // namespace tavro
