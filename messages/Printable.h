// Printable: text that came from outside (a journal, a report, a table, an
// INI value, a path) made safe to show on a terminal or in a box. Every
// control character - below 0x20, 0x7F, and 0x80 to 0x9F, which terminals
// may take as controls of their own - stands as \u00XX, as the journal
// writes it, so that no byte of the text can move the cursor, clear the
// screen, set a title or begin a line that looks like the program's own.
#ifndef MESSAGES_PRINTABLE_H_
#define MESSAGES_PRINTABLE_H_

#include <string>

std::string Printable(const std::string& text);
// The same for a message of the program's own that holds such text: its
// own line ends stay, every other control character is escaped. The text
// from outside in it has been made Printable first.
std::string PrintableLines(const std::string& text);

#endif  // MESSAGES_PRINTABLE_H_
