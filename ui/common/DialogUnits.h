// Dialog templates are laid out in dialog units of their font; these turn them
// into pixels: 宋体 9 pt templates 1.5 × 1.5, "MS Shell Dlg" 8 pt 1.5 × 1.625.
#pragma once

#include <QRect>

#include <cmath>

enum class TemplateFont { SimSun9, ShellDlg8 };

inline int DluX(double x)
{
    return static_cast<int>(std::lround(1.5 * x));
}

inline int DluY(double y, TemplateFont font)
{
    return static_cast<int>(std::lround((font == TemplateFont::SimSun9 ? 1.5 : 1.625) * y));
}

inline QRect DluRect(int x, int y, int w, int h, TemplateFont font)
{
    const int left = DluX(x), top = DluY(y, font);
    return QRect(left, top, DluX(x + w) - left, DluY(y + h, font) - top);
}
