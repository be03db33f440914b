// Numbers shown with a fixed count of decimals, the same under every locale.

#ifndef FIXEDDECIMAL_H
#define FIXEDDECIMAL_H

#include <string>

// printf's "%.*f". The tools never change the C locale, so the point is always a full stop.
std::string fixedDecimal(double value, int decimals);

#endif // FIXEDDECIMAL_H
