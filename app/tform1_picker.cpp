// Placeholder: the template picker land with their own change.
#include "app/tform1.h"

namespace ferro {

void TForm1::FillTemplatePicker() {}
void TForm1::cmbVarChange(int) {}

}  // namespace ferro
