#pragma once

class QString;

// Writes one line to the host's service log (UTF-8); nothing when the host has no log.
void logService(QString const& text);
