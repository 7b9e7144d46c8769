// Data lines: the input read as a data file line by line, each line split
// at commas, its fields unquoted and read as numbers.
#include "data/datafile.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring path = fuzz::WriteInput("lines.dat", data, size);
    FILE* file = _wfopen(path.c_str(), L"r");
    if (!file)
        return 0;
    // Each read short of the end takes at least one byte.
    for (size_t reads = 0; reads <= size && !std::feof(file); ++reads) {
        WCHAR line[kLineChars];
        if (!ReadDataLine(file, line))
            break;
        WCHAR* fields[kLineChars];
        int count = SplitFields(line, fields, kLineChars);
        for (int i = 0; i < count; ++i) {
            ReadNumber(fields[i]);
            ReadNumber(TakeQuotedText(fields[i]));
        }
    }
    std::fclose(file);
    return 0;
}
