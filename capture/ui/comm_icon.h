#pragma once
// CommIcon: the program's own drawn icon, a dial with a tick trace.
#include <QIcon>
#include <QPixmap>

namespace ticklog {

QPixmap CommIconPixmap(int size);
QIcon CommIcon();

}  // namespace ticklog
