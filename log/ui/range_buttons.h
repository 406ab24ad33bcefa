#pragma once
// The OK and Cancel row of the dialogs that ask for a date range.
#include <functional>

class QDialog;
class QHBoxLayout;

namespace qm {

// OK (the default) accepts `dialog` unless `backward` says its range runs backwards, which is
// refused with "The first date lies after the last date."; Cancel rejects it.
QHBoxLayout* RangeDialogButtons(QDialog& dialog, std::function<bool()> backward);

} // namespace qm
