// The engine's message texts by number.
#include <cstddef>

namespace qs::viewer {

extern const char* const kMessageTexts[119];
const char* const kMessageTexts[119] = {
    "Can't open document '%s'",  // 0
    "Can't resolve DTD from '%s'",  // 1
    "Bad start of document instance",  // 2
    "Undefined entity: '%s'",  // 3
    "Can't resolve entity '%s'",  // 4
    "Can't resolve SDATA: '%s'",  // 5
    "Can't resolve element of this empty open",  // 6
    "Unallowed character entity: '%s'",  // 7
    "Syntax error",  // 8
    "Recursive inclusion of entity '%s'",  // 9
    "Unallowed connector change",  // 10
    "Can't define more than 100 attributes/element",  // 11
    "PI too much data",  // 12
    "Element nesting too deep",  // 13
    "Multiple NOTATION attributes",  // 14
    "Undeclared attribute: '%s'",  // 15
    "Undeclared element: '%s'",  // 16
    "Expected '#ALL' or '#IMPLICIT'",  // 17
    "Missing REQUIRED attribute: '%s'",  // 18
    "Duplicate ID: '%s'",  // 19
    "Element '%s' is not open",  // 20
    "Bad Token",  // 21
    "Bad public identifier",  // 22
    "Unallowed entity type: '%s'",  // 23
    "Unallowed entity value specifier: '%s'",  // 24
    "Bad element omitting specification",  // 25
    "Bad element content specification: '%s'",  // 26
    "Bad tag open",  // 27
    "Bad tag close",  // 28
    "Misformed SHORTREF",  // 29
    "Unallowed attribute type: '%s'",  // 30
    "Unallowed attribute default value: '%s'",  // 31
    "Unallowed marked section specifier: '%s'",  // 32
    "Syntax Error in DTD",  // 33
    "Misformed <!DOCTYPE",  // 34
    "Expected '<!SGML'",  // 35
    "Expected '<!DOCTYPE'",  // 36
    "Expected '#PCDATA'",  // 37
    "Expected '#DEFAULT'",  // 38
    "Expected '#NOTATION'",  // 39
    "Expected '#EMPTY'",  // 40
    "Expected '('",  // 41
    "Expected ')'",  // 42
    "Expected ','",  // 43
    "Expected ']'",  // 44
    "Expected '>'",  // 45
    "Expected '\"' or \"'\"",  // 46
    "Expected '='",  // 47
    "Only comment declaration allowed here",  // 48
    "Expected a notation entity",  // 49
    "Misformed DATA TAG",  // 50
    "Unexpected EOF",  // 51
    "Unsupported character encoding: '%s'",  // 52
    "Parsing '%s'",  // 53
    "Internal Error %d",  // 54
    "No TempHome",  // 55
    "TempHome '%s' is not a directory",  // 56
    "Fatal: Can't open file '%s'",  // 57
    "Fatal: Set LRU failed",  // 58
    "Fatal: All cache files are locked",  // 59
    "Fatal: Bad block requested",  // 60
    "Syntax error",  // 61
    "Bad attribute specification",  // 62
    "Bad step specification",  // 63
    "Can't open '%s'",  // 64
    "Recursive CATALOG inclusion: '%s'",  // 65
    "Error in CATALOG",  // 66
    "Recursive ENTITYRC inclusion: '%s'",  // 67
    "Error in ENTITYRC",  // 68
    "Failure to add resource in ENTITYRC",  // 69
    "Error in SETUP",  // 70
    "Can't save Style Sheet",  // 71
    "Can't save Navigator",  // 72
    "Unclosed page",  // 73
    "Unknown font in SDATA file: '%s'",  // 74
    "Duplicate SDATA definition: '%s'",  // 75
    "Error in SDATA file",  // 76
    "Unknown link form: '%s'",  // 77
    "Not an QSB file",  // 78
    "Can't resolve link",  // 79
    "Can't find link source(s)",  // 80
    "Syntax error in query",  // 81
    "Syntax error in qualifier expression",  // 82
    "Not implemented: '%s'",  // 83
    "Bad target",  // 84
    "Bad anchor location",  // 85
    "Can't create file '%s'",  // 86
    "Bad link: '%s' to '%s'",  // 87
    "Bad linkends '%s'",  // 88
    "Web file contained errors...",  // 89
    "Bad locator: '%s'",  // 90
    "Bad (extra) locator: '%s'",  // 91
    "Anchor '%s': Hotspot must define graphic entity",  // 92
    "Anchor '%s': Location must originate with 'NAMELOC' or 'HOTSPOT'",  // 93
    "Can't save web",  // 94
    "Can't create printer DC",  // 95
    "Unable to print",  // 96
    "Can't load font",  // 97
    "GDIB fail w=%d h=%d",  // 98
    "SDIB fail w=%d h=%d",  // 99
    "The document contained errors",  // 100
    "Unknown Format or Source",  // 101
    "System out of memory, executable file was corrupt, or relocations were invalid",  // 102
    "Executable file was not found",  // 103
    "Path was not found",  // 104
    "Attempt was made to dynamically link to a task, or there was a sharing or network-protection error",  // 105
    "Library required separate data segments for each task",  // 106
    "There was insufficient memory to start the application",  // 107
    "Windows version was incorrect",  // 108
    "Executable file was invalid",  // 109
    "Application was designed for a different operating system",  // 110
    "Application was designed for MS-DOS 4.0",  // 111
    "Type of executable file was unknown",  // 112
    "Attempt was made to load a real-mode application",  // 113
    "Attempt was made to load a second instance of an executable file containing multiple data segments that were not marked read-only",  // 114
    "Attempt was made to load a compressed executable file. The file must be decompressed before it can be loaded",  // 115
    "One of the DLLs required to run this application was corrupt",  // 116
    "Application requires 32-bit extensions",  // 117
    "WinExec Error: %d",  // 118
};

}  // namespace qs::viewer
