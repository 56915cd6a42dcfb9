#pragma once

// The only place that names all three windows: it installs them behind the
// links through which they reach each other (forms/links.h). Run installs
// them before the catalogue opens; a test or the benchmark that drives the
// windows installs them the same way.
namespace ondrel::plugin {

void installWindowLinks();

}  // namespace ondrel::plugin
