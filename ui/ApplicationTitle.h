#pragma once

// Caption of the main window and title of the application (no blank after the comma).
inline constexpr const char* ApplicationTitle = "ККМ ОРБИ-7 Программирование скидок,надбавок и товарных групп";
