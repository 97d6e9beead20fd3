// The image and mesh loader base. The display owns registered loaders and deletes them
// through this class.
#pragma once

class ClassZLoaderBase {
 public:
  ClassZLoaderBase() = default;
  virtual ~ClassZLoaderBase() = default;
  ClassZLoaderBase(const ClassZLoaderBase&) = delete;
  ClassZLoaderBase& operator=(const ClassZLoaderBase&) = delete;
};
