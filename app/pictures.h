#pragma once
// The program's own pictures, drawn at run time: the product logo and the maker's picture.
#include <QPixmap>
#include <QSize>

namespace qm {

QPixmap ProductLogo(QSize size);
QPixmap CompanyPicture(QSize size);

} // namespace qm
