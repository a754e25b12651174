#include "BareScene.h"

#include "render/DGlut.h"

#include <GL/gl.h>

void DrawBareScene(GLUquadric* quadric, int selectedPeg) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int p = 0; p < 3; ++p) {
        glPushMatrix();
        glTranslatef(-3.0f + 3.0f * p, 0.0f, 0.0f);
        glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
        if (p == selectedPeg)
            glColor3f(0.8f, 0.3f, 0.3f);
        else
            glColor3f(0.7f, 0.7f, 0.7f);
        glTranslatef(0.0f, 0.0f, -0.5f);
        gluCylinder(quadric, 0.2, 0.2, 4.5, 25, 25);
        glTranslatef(0.0f, 0.0f, 4.5f);
        gluDisk(quadric, 0.0, 0.2, 25, 25);
        glPopMatrix();
        glPushMatrix();
        glTranslatef(-3.0f + 3.0f * p, 0.0f, 0.0f);
        glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
        glColor3f(1.0f, 1.0f, 1.0f);
        glTranslatef(0.0f, 0.0f, -0.7f);
        gluCylinder(quadric, 2.0, 2.0, 0.2, 25, 25);
        glTranslatef(0.0f, 0.0f, 0.2f);
        gluDisk(quadric, 0.2, 2.0, 25, 25);
        glPopMatrix();
    }
    for (int i = 0; i < 5; ++i) {
        glPushMatrix();
        glTranslatef(-3.0f, 0.0f, -0.75f * i);
        glColor3f(1.2f, 0.6f, 0.4f);
        SolidTorus(0.5f, 1.0f - 0.1f * i, 25, 25);
        glPopMatrix();
    }
}

void SetUpBareView(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-5.3, 5.3, -5.3, 5.3, -5.0, 25.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, -2.0f, -5.0f);
    glRotatef(110.0f, 1.0f, 0.0f, 0.0f);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DEPTH_TEST);
}
