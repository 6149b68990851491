/* An application that embeds CPython and finalizes it while another thread
 * is inside a read of py_vok, so that exit ends that thread there.
 *
 *     reader_ended_at_exit FORM CODE
 *
 * CODE runs in __main__ first. It defines read(), which the reader thread
 * calls and which calls embedder.stall() from inside the module, and it
 * keeps an object whose finalizer, run while the interpreter finalizes,
 * calls embedder.wake_reader(). FORM says who finalizes, and with which
 * thread state:
 *
 *   worker   a new thread reads with a state of its own, and makes a second
 *            state that the main thread finalizes with;
 *   main     the main thread makes a second state and reads with it, and a
 *            new thread finalizes with the main thread's first state;
 *   restart  a new thread reads, the main thread finalizes with its own
 *            state and starts a new interpreter while the ended reader is
 *            still unwinding.
 *
 * In the first two, the finalizing thread's state was made on the reader.
 * The program prints how the count of __main__.DataType changed while the
 * ended reader unwound, and whether its read returned.
 */
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <pthread.h>
#include <semaphore.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum form { WORKER, MAIN, RESTART };
static enum form form;

static pthread_t reader;
static PyThreadState *finalizer_state; /* made on the reader in WORKER and MAIN */
static PyObject *data_type;
static Py_ssize_t count_before;
static int read_returned;
static sem_t inside, go, unwinding, restarted;

static void report(void) {
    printf("count change %zd, read returned %d\n", Py_REFCNT(data_type) - count_before,
           read_returned);
    fflush(stdout);
}

/* Runs only while exit ends the reader inside stall(). */
static void on_unwind(void *unused) {
    (void)unused;
    sem_post(&unwinding);
    if (form == RESTART) sem_wait(&restarted);
}

static PyObject *stall(PyObject *self, PyObject *unused) {
    (void)self, (void)unused;
    sem_post(&inside);
    PyThreadState *saved = PyEval_SaveThread();
    sem_wait(&go);
    pthread_cleanup_push(on_unwind, NULL);
    PyEval_RestoreThread(saved); /* exit ends the thread in here */
    pthread_cleanup_pop(0);
    Py_RETURN_NONE;
}

/* Called with the lock held, by the finalizing thread. */
static PyObject *wake_reader(PyObject *self, PyObject *unused) {
    (void)self, (void)unused;
    count_before = Py_REFCNT(data_type);
    sem_post(&go);
    sem_wait(&unwinding);
    if (form != RESTART) {
        /* The lock stays held, and the finalizer's state current, while the
         * reader unwinds. */
        pthread_join(reader, NULL);
        report();
    }
    Py_RETURN_NONE;
}

static PyMethodDef embedder_functions[] = {
    {"stall", stall, METH_NOARGS, NULL},
    {"wake_reader", wake_reader, METH_NOARGS, NULL},
    {NULL, NULL, 0, NULL},
};
static struct PyModuleDef embedder = {PyModuleDef_HEAD_INIT, "embedder", NULL, -1,
                                      embedder_functions, NULL, NULL, NULL, NULL};
static PyObject *init_embedder(void) { return PyModule_Create(&embedder); }

static void call_read(void) {
    PyObject *result = PyObject_CallMethod(PyImport_AddModule("__main__"), "read", NULL);
    if (result == NULL) PyErr_Print();
    Py_XDECREF(result);
    read_returned = 1;
}

static void finalize(void) {
    sem_wait(&inside);
    PyEval_RestoreThread(finalizer_state);
    if (Py_FinalizeEx() != 0) fputs("Py_FinalizeEx failed\n", stderr);
}

static void *read_on_own_state(void *unused) {
    (void)unused;
    PyGILState_Ensure();
    if (form == WORKER) finalizer_state = PyThreadState_New(PyThreadState_GetInterpreter(PyThreadState_Get()));
    call_read();
    return NULL;
}

static void *finalize_and_exit(void *unused) {
    (void)unused;
    finalize();
    exit(0);
}

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    form = strcmp(argv[1], "worker") == 0 ? WORKER : strcmp(argv[1], "main") == 0 ? MAIN : RESTART;
    sem_init(&inside, 0, 0);
    sem_init(&go, 0, 0);
    sem_init(&unwinding, 0, 0);
    sem_init(&restarted, 0, 0);
    PyImport_AppendInittab("embedder", init_embedder);
    /* Without site, nothing imports threading, whose shutdown would wait for
     * the main thread's first state to end (in MAIN, the finalizer's own). */
    PyConfig config;
    PyConfig_InitPythonConfig(&config);
    config.site_import = 0;
    PyStatus status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status)) return 1;
    if (PyRun_SimpleString(argv[2]) != 0) return 1;
    data_type = PyObject_GetAttrString(PyImport_AddModule("__main__"), "DataType");
    if (data_type == NULL) return 1;

    if (form == MAIN) {
        finalizer_state = PyThreadState_Get();
        PyThreadState_Swap(PyThreadState_New(PyThreadState_GetInterpreter(finalizer_state)));
        reader = pthread_self();
        pthread_t finalizer;
        pthread_create(&finalizer, NULL, finalize_and_exit, NULL);
        call_read();
        return 3; /* exit ends this thread first */
    }

    pthread_create(&reader, NULL, read_on_own_state, NULL);
    PyThreadState *first = PyEval_SaveThread();
    if (form == WORKER) finalize_and_exit(NULL);
    finalizer_state = first;
    finalize();
    Py_Initialize();
    sem_post(&restarted);
    pthread_join(reader, NULL);
    report();
    Py_FinalizeEx();
    return 0;
}
