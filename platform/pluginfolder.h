#pragma once

#include <QString>

namespace ondrel::platform {

// The plug-in's own folder, where livrano.mdb, alarme.wav, Ulmix.hlp and
// objetos.rpt live: the folder of the running executable unless a test (or a
// debug option) pointed it elsewhere. Returned without a trailing separator.
QString pluginFolder();

// Points the plug-in folder at another folder; an empty text restores the
// executable's folder.
void setPluginFolder(const QString& folder);

}  // namespace ondrel::platform
