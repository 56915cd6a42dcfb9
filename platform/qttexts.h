#pragma once

namespace ondrel::platform {

// Qt's own texts inside the windows — the file dialogs' columns and places,
// a box's right-click menu ("Desfazer", "Copiar", "Colar"…), the print
// dialog — in Brazilian Portuguese like every text of ours, whatever the
// desktop's language. Call once the application object exists. False when
// Qt's translations (Debian package qt6-translations-l10n) are not
// installed: Qt's English texts stay then.
bool installQtPortugueseTexts();

}  // namespace ondrel::platform
