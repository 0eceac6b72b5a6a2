#include "kernel/epocbase.h"

#include <cstdlib>

CEpocBase::~CEpocBase() = default;

void* CEpocBase::operator new(std::size_t aSize) noexcept { return std::calloc(1, aSize); }

void CEpocBase::operator delete(void* aObject) noexcept { std::free(aObject); }
