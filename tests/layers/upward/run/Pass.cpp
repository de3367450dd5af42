// Fixture: a subsystem pulling in Qt must be refused.
#include <QString>
