#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Sample game servers as list-server lines (without CR LF). The list is made
// to exercise every column: the known versions and an unknown one, private
// servers, colour markers in names, uptimes from seconds to days, and
// servers on several 127.x addresses with their own game ports.
std::vector<std::string> SampleServerLines(std::size_t count = 12);

// The lines of a text file, sent as they are. A CR before each LF is dropped,
// so files written with either line end work; a final line without line end
// is kept.
std::vector<std::string> ReadServerLines(const std::string& path);
