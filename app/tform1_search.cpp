// Placeholder: the folder search land with their own change.
#include "app/tform1.h"

namespace ferro {

void TForm1::btnOpenClick() {}
void TForm1::ckFileSizeClick() {}
void TForm1::ckFileDateClick() {}
void TForm1::cbSearchClick() {}
void TForm1::btnStopSearchClick() {}
void TForm1::SearchFolder(const std::string&) {}

}  // namespace ferro
