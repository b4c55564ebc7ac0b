// The pictures and icons of res/, compiled into the executable.
#pragma once

#include <cstddef>

struct EmbeddedResource {
  int id;                     // the resource number (137, 145, 148, 149, 128)
  const char* name;           // the file name under res/
  const unsigned char* data;  // the file's bytes
  std::size_t size;
};

// All resources, ended by an entry whose data is null.
extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;
