#include "link/comm.h"

comm::comm(QObject *parent) : QObject(parent) {}

comm::~comm() = default;
