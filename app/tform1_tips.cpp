// Placeholder: usage notes, web link and tips land with their own change.
#include "app/tform1.h"

namespace ferro {

void TForm1::SpeedButton1Click() {}
void TForm1::Label11Click() {}
void TForm1::Timer1Timer() {}
void TForm1::lblTipsClick() {}
void TForm1::SetUpTips() {}

}  // namespace ferro
