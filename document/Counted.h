#pragma once

#include <cstddef>
#include <string>

// The form a Russian word takes after a number: one (1, 21, 101), few (2 to 4, 22 to
// 24) or many (5 to 20, 25...).
enum class TCountForm { One, Few, Many };

TCountForm CountForm(std::size_t n);

// The number with the word in the form the number asks for: "31 поле", "2 группы".
std::string Counted(std::size_t n, const char* one, const char* few, const char* many);
