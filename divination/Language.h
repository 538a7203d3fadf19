#pragma once

// The languages the program speaks. Russian is its own language: whatever names neither gets Russian.
enum class Language { Russian, English };
