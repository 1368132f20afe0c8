// The ES-module entry for browser bundles: the build for web pages, with
// `load` as a named export.
import Quenfold from './quenfold.js';

export const load = Quenfold.load;
export default Quenfold;
