// While set, every new[] of the program throws std::bad_alloc.
#pragma once

extern bool refuse_arrays;
