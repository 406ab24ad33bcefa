#pragma once
// The ZIP masked edit: five digit places, a fixed hyphen, four digit places, every place may stay
// blank; its text always holds the hyphen and reads blank places as blanks (10 characters).
class QLineEdit;
class QString;

namespace qm {

void SetupZipEdit(QLineEdit* edit);
QString ZipEditText(const QLineEdit* edit);

} // namespace qm
