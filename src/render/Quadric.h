#pragma once

#include <GL/glu.h>

// The one GLU quadric the pegs are drawn with (default settings: filled,
// smooth normals, outside). Needs a current GL context to be created.
class TQuadric {
public:
    TQuadric() : Handle(gluNewQuadric()) {}
    ~TQuadric() {
        if (Handle)
            gluDeleteQuadric(Handle);
    }
    TQuadric(const TQuadric&) = delete;
    TQuadric& operator=(const TQuadric&) = delete;

    GLUquadric* Get() const { return Handle; }

private:
    GLUquadric* Handle;
};
