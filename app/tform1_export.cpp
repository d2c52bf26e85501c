// Placeholder: list export and disk deletion land with their own change.
#include "app/tform1.h"

namespace ferro {

void TForm1::btnExpClick() {}
void TForm1::btnExpDirClick() {}
void TForm1::cbDelClick() {}

}  // namespace ferro
